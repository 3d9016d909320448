#include "HwrRecogGesture.h"

#include <string>

#include "CharEngine.h"
#include "HwrLog.h"

namespace hwrlocal {

const uint16_t kGestureCodes[50] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                                    14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                                    27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39,
                                    40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50};
static_assert(sizeof kGestureCodes / sizeof kGestureCodes[0] == kCharSpecialCodes);

int HwrRecogGesture::InitEngine(const std::string &, const std::string &resPrefix, bool) {
    static const char *const kName = "HwrRecogGesture::InitEngine";
    QV_TRACE(QV_TAG_LOCAL, kName);
    return StartCharEngine(resPrefix, "gesture.dic", kName);
}

int HwrRecogGesture::SetConfig(const qvcommon::ConfigAssistant &config) {
    QV_TRACE(QV_TAG_LOCAL, "HwrRecogGesture::SetConfig");
    // recogrange, dispcode, fullhalf, openslant and sublang mean nothing for gestures.
    CharEngineSetParam(Handle(), kCharParamSpecial, kGestureCodes);
    SetParam(kCharParamRange, 0x80);
    SetParam(kCharParamCandidates, CandidateCount(config));
    return 0;
}

int HwrRecogGesture::Recog(const int16_t *strokes, uint32_t length,
                           const qvcommon::ConfigAssistant &config, HwrRecogResult *result) {
    static const char *const kName = "HwrRecogGesture::Recog";
    QV_TRACE(QV_TAG_LOCAL, kName);
    result->count = 0;
    result->items = nullptr;
    if (int code = SetConfig(config))
        return code;
    return RecogCandidates(strokes, length, result, kName,
                           [this](uint16_t code, qvcommon::RecogCandidate &item) {
                               return MakeGestureResultItem(code, item);
                           });
}

bool HwrRecogGesture::MakeGestureResultItem(uint16_t code, qvcommon::RecogCandidate &item) {
    item.values.clear();
    item.text = std::to_string(static_cast<int>(code) - 1);
    return true;
}

}  // namespace hwrlocal
