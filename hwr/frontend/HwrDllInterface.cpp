#include "HwrDllInterface.h"

#include <cstdint>

#include "HwrLog.h"
#include "OsAdapter.h"

namespace {

template <class F>
void Resolve(HwrDllInterface &dll, F &field, const char *name) {
    field = reinterpret_cast<F>(dll.GetProcAddress(name));
}

template <class F>
unsigned Addr(F f) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(f));
}

}  // namespace

int HwrDllInterface::Init(const qvcommon::ConfigAssistant &initConfig) {
    if (!handle_)
        return 23;
    Resolve(*this, VraHwrInit, "VraHwrInit");
    Resolve(*this, VraHwrGetPinyin, "VraHwrGetPinyin");
    Resolve(*this, VraHwrFreePinyinResult, "VraHwrFreePinyinResult");
    Resolve(*this, VraHwrFreeAssociateResult, "VraHwrFreeAssociateResult");
    Resolve(*this, VraHwrAssociateAdjustWords, "VraHwrAssociateAdjustWords");
    Resolve(*this, VraHwrGetAssociateWords, "VraHwrGetAssociateWords");
    Resolve(*this, VraHwrGetPenscript, "VraHwrGetPenscript");
    Resolve(*this, VraHwrFreePenscriptResult, "VraHwrFreePenscriptResult");
    Resolve(*this, VraHwrStartSession, "VraHwrStartSession");
    Resolve(*this, VraHwrRecog, "VraHwrRecog");
    Resolve(*this, VraHwrFreeRecogResult, "VraHwrFreeRecogResult");
    Resolve(*this, VraHwrConfirmResult, "VraHwrConfirmResult");
    Resolve(*this, VraHwrStopSession, "VraHwrStopSession");
    Resolve(*this, VraHwrRelease, "VraHwrRelease");
    if (!VraHwrInit || !VraHwrGetPinyin || !VraHwrFreePinyinResult || !VraHwrFreeAssociateResult ||
        !VraHwrAssociateAdjustWords || !VraHwrGetAssociateWords || !VraHwrGetPenscript ||
        !VraHwrFreePenscriptResult || !VraHwrStartSession || !VraHwrRecog ||
        !VraHwrFreeRecogResult || !VraHwrConfirmResult || !VraHwrStopSession || !VraHwrRelease) {
        QV_LOG_FAIL(QV_TAG_COMMON, "HwrDllInterface::Init",
                    " Load function from lib failed \t\t\t\t VraHwrInitFunc[%x] \t\t\t\t "
                    "VraHwrGetPinyinFunc[%x] \t\t\t\t VraHwrFreePinyinResultFunc[%x] \t\t\t\t "
                    "VraHwrFreeAssociateResultFunc[%x] \t\t\t\t VraHwrGetPenscriptFunc[%x] "
                    "\t\t\t\t VraHwrFreePenscriptResultFunc[%x] \t\t\t\t "
                    "VraHwrStartSessionFunc[%x] \t\t\t\t VraHwrRecogFunc[%x] \t\t\t\t "
                    "VraHwrGetAssociateWordsExFunc[%x] \t\t\t\t "
                    "VraHwrAssociateAdjustWordsExFunc[%x] \t\t\t\t "
                    "VraHwrFreeRecogResultFunc[%x] \t\t\t\t VraHwrConfirmResultFunc[%x] "
                    "\t\t\t\t VraHwrStopSessionFunc[%x] \t\t\t\t VraHwrReleaseFunc[%x]",
                    Addr(VraHwrInit), Addr(VraHwrGetPinyin), Addr(VraHwrFreePinyinResult),
                    Addr(VraHwrFreeAssociateResult), Addr(VraHwrGetPenscript),
                    Addr(VraHwrFreePenscriptResult), Addr(VraHwrStartSession), Addr(VraHwrRecog),
                    Addr(VraHwrGetAssociateWords), Addr(VraHwrAssociateAdjustWords),
                    Addr(VraHwrFreeRecogResult), Addr(VraHwrConfirmResult), Addr(VraHwrStopSession),
                    Addr(VraHwrRelease));
        return 23;
    }
    return VraHwrInit(&initConfig);
}

int HwrDllInterface::Release() {
    return VraHwrRelease ? VraHwrRelease() : 23;
}

void *HwrDllInterface::OS_LoadLibrary(const std::string &fileName) {
    return OsAdapter::OS_LoadLibrary(fileName, searchDirs_);
}

void *HwrDllInterface::GetProcAddress(const char *name) {
    return OsAdapter::OS_GetProcAddress(handle_, name);
}

bool HwrDllInterface::OS_FreeLibrary(void *handle) {
    // The entry points die with the library.
    ClearEntryPoints();
    return OsAdapter::OS_FreeLibrary(handle);
}

void HwrDllInterface::ClearEntryPoints() {
    VraHwrInit = nullptr;
    VraHwrGetPinyin = nullptr;
    VraHwrFreePinyinResult = nullptr;
    VraHwrFreeAssociateResult = nullptr;
    VraHwrGetAssociateWords = nullptr;
    VraHwrAssociateAdjustWords = nullptr;
    VraHwrGetPenscript = nullptr;
    VraHwrFreePenscriptResult = nullptr;
    VraHwrStartSession = nullptr;
    VraHwrRecog = nullptr;
    VraHwrFreeRecogResult = nullptr;
    VraHwrConfirmResult = nullptr;
    VraHwrStopSession = nullptr;
    VraHwrRelease = nullptr;
}
