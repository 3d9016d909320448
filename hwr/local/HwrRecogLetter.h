// The letter recogniser: one handwritten character in, ranked candidate characters out, through
// the character engine on the resource set's letter.dic. Tibetan candidates are expanded through
// tibetanmap.txt; the scripts with sub-languages (Arabic, Cyrillic, Latin) need `sublang`.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "HwrRecogEngine.h"
#include "PluginResults.h"
#include "TibetanMap.h"

namespace hwrlocal {

class HwrRecogLetter : public HwrRecogEngine {
  public:
    HwrRecogLetter() = default;
    ~HwrRecogLetter() override;

    int InitEngine(const std::string &dataPath, const std::string &resPrefix,
                   bool realtime) override;
    int UninitEngine() override;
    int Recog(const int16_t *strokes, uint32_t length, const qvcommon::ConfigAssistant &callConfig,
              HwrRecogResult *result) override;
    // The candidate's text: its character, or the Tibetan map's characters for it.
    virtual bool MakeResultItem(uint16_t code, qvcommon::RecogCandidate &item);

    // Reads the prefix's tibetanmap.txt into the map; 0, or 14 when it cannot be opened.
    int ReadTibetanMap(const std::string &resPrefix);
    // The sub-language value of the call for a sub-language script (value left alone for other
    // languages); 0, 308 without `sublang` or with an empty one, 3 for a name not in the list.
    int ValidateSublang(const qvcommon::ConfigAssistant &config, int32_t &value);

    const TibetanMap &tibetanMap() const { return tibetanMap_; }

  protected:
    void *Handle() const { return word0_; }
    // Acquires the dictionary `fileName` of the prefix and starts the engine on it: 0, 14 when
    // the file is missing, 2 without memory, 306 when the engine refuses it. `name` is the
    // operation the log lines name.
    int StartCharEngine(const std::string &resPrefix, const char *fileName, const char *name);
    // Recognises with the parameters already set and fills the result through `makeItem`.
    int RecogCandidates(const int16_t *strokes, uint32_t length, HwrRecogResult *result,
                        const char *name,
                        const std::function<bool(uint16_t, qvcommon::RecogCandidate &)> &makeItem);
    void SetParam(int id, int32_t value);

  private:
    int SetConfig(const qvcommon::ConfigAssistant &config);

    TibetanMap tibetanMap_;
};

// The leading decimal number of `candnum`; 0 when absent or not a number.
int32_t CandidateCount(const qvcommon::ConfigAssistant &config);

}  // namespace hwrlocal
