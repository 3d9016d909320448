// The program's speech layer: the recorder-backed recognizer, its result callbacks and typing.
#include "output/TypeText.h"
#include "shell/SpeechLayer.h"
#include "speech/RecognitionResult.h"
#include "speech/SpeechRec.h"

namespace {

class RecognizerSpeechLayer : public SpeechLayer {
  public:
    void BuildSessionParams() override { ::BuildSessionParams(); }
    int Prepare() override {
        static const SpeechRecNotifier notifier{OnRecognitionResult, OnSpeechBegin, OnSpeechEnd};
        return sr_prepare(g_sessionParams.c_str(), &notifier);
    }
    int BeginListening() override { return sr_begin_listening(); }
    void StopRecognition() override { ::StopRecognition(); }
    std::string ResultText() override { return g_resultText ? g_resultText : ""; }
    void ClearResultText() override {
        if (g_resultText)
            g_resultText[0] = '\0';
    }
    void ResetReplaceCount() override { g_replaceCount = 0; }
    void TypeText(const std::u16string &text) override { ::TypeText(text); }
};

}  // namespace

std::unique_ptr<SpeechLayer> CreateSpeechLayer() {
    return std::make_unique<RecognizerSpeechLayer>();
}
