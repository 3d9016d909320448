// The base of the local recognisers (letter, freestylus, gesture, freestylus V7): the resource
// configuration file letter.conf, recognition-range parsing and the resource files a
// recogniser acquired.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ConfigAssistant.h"
#include "vra_hwr.h"

namespace hwrlocal {

class HwrRecogEngine {
  public:
    HwrRecogEngine() = default;
    virtual ~HwrRecogEngine() = default;
    HwrRecogEngine(const HwrRecogEngine &) = delete;
    HwrRecogEngine &operator=(const HwrRecogEngine &) = delete;

    virtual int InitEngine(const std::string &dataPath, const std::string &resPrefix,
                           bool realtime) = 0;
    virtual int UninitEngine() = 0;
    // The call configuration is the one the recognition export received (session keys already
    // merged in by the front end).
    virtual int Recog(const int16_t *strokes, uint32_t length,
                      const qvcommon::ConfigAssistant &callConfig, HwrRecogResult *result) = 0;
    // Reads language and recogRange from the prefix's letter.conf; 0 or 14.
    virtual int ReadLangFromConfRes(const std::string &resPrefix);
    // The letter rule: the masks of every allowed word (kAllowedRangeWords, then the resource's
    // recogRange), stopping at a word the table does not know.
    virtual uint32_t GetDefaultRangeByLang();
    // The mask of the configuration's recogrange; 0, or 22 for a word not allowed or unknown.
    virtual int ParseRecogRange(const qvcommon::ConfigAssistant &config, uint32_t &mask);
    // Releases every acquired resource file.
    virtual void ReleaseResources();

    const std::string &Language() const { return language_; }
    const std::string &RecogRange() const { return recogRange_; }

  protected:
    bool LoadFromFile(const std::string &path);
    // Acquires a file through the library's resource manager and remembers it for
    // ReleaseResources; null when missing.
    const uint8_t *AcquireResource(const std::string &path, uint32_t *size);

    // Two words for the derived recognisers' engine state (engine handle, work memory).
    void *word0_ = nullptr;
    void *word1_ = nullptr;
    std::vector<std::string> acquired_;
    std::string language_;
    std::string recogRange_;
};

}  // namespace hwrlocal
