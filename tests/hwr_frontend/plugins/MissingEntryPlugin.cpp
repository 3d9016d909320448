// A plug-in library that lacks VraHwrRelease: the front end must refuse to load it.
#include "PluginContract.h"

#define TP_EXPORT extern "C" __attribute__((visibility("default")))

TP_EXPORT int VraHwrInit(const qvcommon::ConfigAssistant *) {
    return 0;
}
TP_EXPORT int VraHwrGetPinyin(uint32_t, const qvcommon::ConfigAssistant *, const char *,
                              HwrPinyinResult *) {
    return 22;
}
TP_EXPORT int VraHwrFreePinyinResult(HwrPinyinResult *) {
    return 0;
}
TP_EXPORT int VraHwrFreeAssociateResult(HwrAssociateResult *) {
    return 0;
}
TP_EXPORT int VraHwrGetAssociateWords(uint32_t, const qvcommon::ConfigAssistant *, const char *,
                                      HwrAssociateResult *) {
    return 22;
}
TP_EXPORT int VraHwrAssociateAdjustWords(uint32_t, const qvcommon::ConfigAssistant *,
                                         const char *) {
    return 22;
}
TP_EXPORT int VraHwrGetPenscript(uint32_t, const qvcommon::ConfigAssistant *, int32_t, int32_t,
                                 HwrPenScriptResult *) {
    return 22;
}
TP_EXPORT int VraHwrFreePenscriptResult(HwrPenScriptResult *) {
    return 0;
}
TP_EXPORT int VraHwrStartSession(const qvcommon::ConfigAssistant *, uint32_t *) {
    return 0;
}
TP_EXPORT int VraHwrRecog(uint32_t, const qvcommon::ConfigAssistant *, const int16_t *, uint32_t,
                          HwrRecogResult *) {
    return 22;
}
TP_EXPORT int VraHwrFreeRecogResult(HwrRecogResult *) {
    return 0;
}
TP_EXPORT int VraHwrConfirmResult(uint32_t, const HwrConfirmItem *) {
    return 22;
}
TP_EXPORT int VraHwrStopSession(uint32_t *) {
    return 0;
}
