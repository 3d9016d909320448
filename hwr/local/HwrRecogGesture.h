// The gesture recogniser: one pen gesture in, candidate gesture numbers ("0" to "49") out, from
// the resource set's gesture.dic. A letter recogniser with another dictionary, a fixed range
// (gestures only) and numbers for texts.
#pragma once

#include "HwrRecogLetter.h"

namespace hwrlocal {

// The output codes of the 50 gesture classes: 1 to 50.
extern const uint16_t kGestureCodes[50];

class HwrRecogGesture : public HwrRecogLetter {
  public:
    int InitEngine(const std::string &dataPath, const std::string &resPrefix,
                   bool realtime) override;
    int Recog(const int16_t *strokes, uint32_t length, const qvcommon::ConfigAssistant &callConfig,
              HwrRecogResult *result) override;
    uint32_t GetDefaultRangeByLang() override { return 0x80; }
    // The text of a gesture code: code - 1 in decimal.
    virtual bool MakeGestureResultItem(uint16_t code, qvcommon::RecogCandidate &item);

  private:
    int SetConfig(const qvcommon::ConfigAssistant &config);
};

}  // namespace hwrlocal
