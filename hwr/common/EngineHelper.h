// The maker of engine handles that sessions share: one handle per helper name and resource
// prefix in each library (the handle cache of RecogEngineInterface::GetVraEngineHandle).
#pragma once

#include <cstdint>
#include <string>

namespace qvcommon {

class EngineHelper {
  public:
    // Creates the engine handle for this data path and resource prefix; 0 or an error code.
    virtual int InitVraEngineHandle(const std::string &dataPath, const std::string &resPrefix,
                                    uint32_t &handle) = 0;
    virtual int ReleaseVraEngineHandle(uint32_t handle) = 0;
    // The helper's fixed name, such as "hwr.freestyle.v7" or "hwr.associate".
    virtual std::string GetHelperName() = 0;
    virtual ~EngineHelper() = default;
};

}  // namespace qvcommon
