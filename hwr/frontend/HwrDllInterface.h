// A loaded kit plug-in: its fourteen entry points, resolved by name at Init.
#pragma once

#include <string>
#include <vector>

#include "IDllInterface.h"
#include "PluginContract.h"

class HwrDllInterface : public IDllInterface {
  public:
    // `searchDirs`: folders looked in first for the library file.
    explicit HwrDllInterface(std::vector<std::string> searchDirs)
        : searchDirs_(std::move(searchDirs)) {}
    ~HwrDllInterface() override = default;

    int Init(const qvcommon::ConfigAssistant &initConfig) override;
    int Release() override;
    void *OS_LoadLibrary(const std::string &fileName) override;
    void *GetProcAddress(const char *name) override;
    bool OS_FreeLibrary(void *handle) override;

    VraHwrInitFunc VraHwrInit = nullptr;
    VraHwrGetPinyinFunc VraHwrGetPinyin = nullptr;
    VraHwrFreePinyinResultFunc VraHwrFreePinyinResult = nullptr;
    VraHwrFreeAssociateResultFunc VraHwrFreeAssociateResult = nullptr;
    VraHwrGetAssociateWordsFunc VraHwrGetAssociateWords = nullptr;
    VraHwrAssociateAdjustWordsFunc VraHwrAssociateAdjustWords = nullptr;
    VraHwrGetPenscriptFunc VraHwrGetPenscript = nullptr;
    VraHwrFreePenscriptResultFunc VraHwrFreePenscriptResult = nullptr;
    VraHwrStartSessionFunc VraHwrStartSession = nullptr;
    VraHwrRecogFunc VraHwrRecog = nullptr;
    VraHwrFreeRecogResultFunc VraHwrFreeRecogResult = nullptr;
    VraHwrConfirmResultFunc VraHwrConfirmResult = nullptr;
    VraHwrStopSessionFunc VraHwrStopSession = nullptr;
    VraHwrReleaseFunc VraHwrRelease = nullptr;

  private:
    void ClearEntryPoints();

    std::vector<std::string> searchDirs_;
};
