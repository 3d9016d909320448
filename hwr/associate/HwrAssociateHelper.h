// The one maker of association engines in the plug-in: a table from dictionary set to the shared
// engine record, created on first use and emptied when the plug-in is unloaded.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "AssociateEngineRecord.h"
#include "CQThreadMutex.h"
#include "EngineHelper.h"

namespace wa {

class HwrAssociateHelper : public qvcommon::EngineHelper {
  public:
    static HwrAssociateHelper &Instance();

    // The frame's form: sessions never take their engine through the handle cache, so it is
    // not used; it answers 22.
    int InitVraEngineHandle(const std::string &dataPath, const std::string &resPrefix,
                            uint32_t &handle) override;
    // Gives back one use of the record with this handle; the last use frees it. Always 0.
    int ReleaseVraEngineHandle(uint32_t handle) override;
    std::string GetHelperName() override { return "hwr.associate"; }
    // Releases every record still in the table.
    ~HwrAssociateHelper() override;

    // The record of the dictionary set, made on first use: the user file (the user-dictionary
    // path with the prefix before its file name) is created from the default user dictionary
    // when missing, then both dictionaries are loaded and the engine made. 0, 2, 3, 14 or 304.
    int InitVraEngineHandle(const std::string &dataPath, const std::string &userDictPath,
                            const std::string &resPrefix, AssociateEngineRecord *&record);

    size_t RecordCount();

  private:
    HwrAssociateHelper() = default;
    int CreateUserDict(const std::string &userFile, const std::string &resPrefix);
    static void Free(AssociateEngineRecord &record);

    qvcommon::CQThreadMutex lock_;
    std::map<std::string, std::unique_ptr<AssociateEngineRecord>> records_;
    uint32_t lastHandle_ = 0;
};

}  // namespace wa
