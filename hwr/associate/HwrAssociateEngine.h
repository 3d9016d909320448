// One association session of the plug-in: follow-on words for a text from the shared engine of
// its dictionary set, and learning of the words the user chose into the session's copy of the
// user dictionary, which reaches the user's file when the session stops.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "AssociateEngineRecord.h"
#include "RecogEngineInterface.h"
#include "iWWA.h"
#include "vra_hwr.h"

namespace wa {

class HwrAssociateEngine : public qvcommon::RecogEngineInterface {
  public:
    HwrAssociateEngine() = default;
    // Frees the candidates and the session memory; does not stop the session.
    ~HwrAssociateEngine() override;

    int StartSession(const qvcommon::ConfigAssistant &config) override;
    // Writes the user dictionary back (failures are logged, never returned), stops the engine
    // session and gives back the use of the engine record.
    int StopSession() override;

    // The plug-in's requests (forwarded by the frame).
    int GetAssociateWords(const qvcommon::ConfigAssistant &config, const char *words,
                          HwrAssociateResult *result);
    int AssociateAdjustWords(const qvcommon::ConfigAssistant &config, const char *words);

    static void LogStartFailure(int code);
    // True when every byte is an ASCII letter, a blank, an apostrophe or a hyphen.
    static bool IsEnglishText(const char *text);

  private:
    int GetEngineSession();
    int EngineSessionStop();
    int SetConfig(const qvcommon::ConfigAssistant &config, bool english);
    int WordFreqAdjust(const char *words);
    void SaveUserDict();
    static void WaResult(void *self, const iWWA_Char *text, uint32_t length);

    std::vector<std::string> candidates_;
    AssociateEngineRecord *record_ = nullptr;
    std::unique_ptr<uint8_t, decltype(&std::free)> sessionMemory_{nullptr, &std::free};
    iWWA_Session *session_ = nullptr;
};

}  // namespace wa
