// Shares V7 engines between sessions: one engine per data path and resource prefix, built on
// first use from english.main.dct and english.additional.dct and destroyed with its last user.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CQThreadMutex.h"
#include "EngineHelper.h"
#include "iWFS.h"

namespace hwrlocal {

class HwrFreeStylusV7Helper : public qvcommon::EngineHelper {
  public:
    // The process's one helper.
    static HwrFreeStylusV7Helper &Instance();

    int InitVraEngineHandle(const std::string &dataPath, const std::string &resPrefix,
                            uint32_t &handle) override;
    int ReleaseVraEngineHandle(uint32_t handle) override;
    std::string GetHelperName() override { return "hwr.freestyle.v7"; }
    // Releases every engine whatever its count.
    ~HwrFreeStylusV7Helper() override;

    // The engine of a live handle, or null.
    const iWFS_Engine *Engine(uint32_t handle);
    // Sessions holding the engine of this data path and prefix (0 when none).
    int References(const std::string &dataPath, const std::string &resPrefix);

  private:
    struct EngineRecord {
        std::string key;
        uint32_t handle = 0;
        std::unique_ptr<uint64_t[]> memory;
        iWFS_Engine *engine = nullptr;
        int references = 0;
        std::vector<std::string> files;  // acquired resource paths
    };
    HwrFreeStylusV7Helper() = default;
    void Destroy(EngineRecord *record);

    qvcommon::CQThreadMutex mutex_;
    std::map<std::string, std::unique_ptr<EngineRecord>> records_;
    uint32_t nextHandle_ = 1;
};

}  // namespace hwrlocal
