// The freestylus V7 recogniser: free handwriting (one or more English words) through the V7
// engine, shared per resource set by HwrFreeStylusV7Helper, with one engine session each.
#pragma once

#include <vector>

#include "HwrRecogEngine.h"
#include "PluginResults.h"
#include "iWFS.h"

namespace hwrlocal {

class HwrRecogFreeStylusV7 : public HwrRecogEngine {
  public:
    HwrRecogFreeStylusV7() = default;
    ~HwrRecogFreeStylusV7() override;

    int InitEngine(const std::string &dataPath, const std::string &resPrefix,
                   bool realtime) override;
    int UninitEngine() override;
    int Recog(const int16_t *strokes, uint32_t length, const qvcommon::ConfigAssistant &callConfig,
              HwrRecogResult *result) override;
    // By the language of letter.conf: chinese 0x7F00, japanese 0x700, english 0x6, korean 0x200.
    uint32_t GetDefaultRangeByLang() override;

  private:
    int GetEngineSession();
    int EngineSessionStop();
    int SetConfig(const qvcommon::ConfigAssistant &callConfig);
    void ResetResultList() { results_.clear(); }
    static void iFWS_Result(void *context, const uint16_t *text, int length, float confidence);

    std::vector<qvcommon::RecogCandidate> results_;  // of the current recognition, best first
    iWFS_Session *session_ = nullptr;
    void *sessionBuffer_ = nullptr;
    uint32_t engineHandle_ = 0;
    bool haveEngine_ = false;
};

}  // namespace hwrlocal
