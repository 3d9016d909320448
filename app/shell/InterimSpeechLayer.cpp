// The speech layer until the recorder-backed one exists: every utterance opens a real session of
// the speech library and ends it at the release of the key, but sends it no audio, so only
// results that the engine gives without audio (the scripted engine's "final result") arrive.
// Nothing is typed. Replace this file by the real layer's CreateSpeechLayer.
#include <cstdio>

#include "AppSettings.h"
#include "ProgramState.h"
#include "SpeechLayer.h"
#include "msc.h"
#include "platform/WriteLog.h"

namespace {

const char16_t *const kLanguageNames[] = {u"普通话", u"英语",   u"粤语",   u"四川话", u"河南话",
                                          u"上海话", u"东北话", u"山东话", u"云南话", u"陕西话",
                                          u"甘肃话", u"武汉话", u"河北话", u"长沙话"};

class InterimSpeechLayer : public SpeechLayer {
  public:
    void BuildSessionParams() override {
        int language = g_settings.Language;
        bool known = language >= 0 && language < 14;
        g_languageName = known ? kLanguageNames[language] : u"";
        char text[160];
        std::snprintf(text, sizeof text,
                      "language = %s, accent = mandarin, result_type = plain, "
                      "result_encoding = gb2312, ptt = %d",
                      language == 1 ? "en_us" : "zh_cn", g_settings.ShowFlag);
        m_params = text;
    }

    int Prepare() override { return 0; }

    int BeginListening() override {
        if (m_session)
            return -5;
        int error = 0;
        const char *id = QISRSessionBegin(nullptr, m_params.c_str(), &error);
        if (!id)
            return error;
        m_session = id;
        m_text.clear();
        return 0;
    }

    void StopRecognition() override {
        if (m_session) {
            int endpoint = 0, status = 0, error = 0;
            int rc = QISRAudioWrite(m_session, nullptr, 0, MSC_AUDIO_LAST, &endpoint, &status);
            while (rc == 0 && status != MSC_REC_COMPLETE) {
                const char *text = QISRGetResult(m_session, &status, 0, &error);
                if (error != 0)
                    rc = error;
                if (text)
                    m_text += text;
            }
            if (rc != 0) {
                char line[64];
                std::snprintf(line, sizeof line, "sr_stop_listening err:%d", rc);
                WriteLog(line);
            }
            QISRSessionEnd(m_session, rc == 0 ? "normal" : "err");
            m_session = nullptr;
        }
        g_listening = false;
    }

    std::string ResultText() override { return m_text; }
    void ClearResultText() override { m_text.clear(); }
    void ResetReplaceCount() override {}
    void TypeText(const std::u16string &) override {}

  private:
    std::string m_params;
    const char *m_session = nullptr;
    std::string m_text;
};

}  // namespace

std::unique_ptr<SpeechLayer> CreateSpeechLayer() {
    return std::make_unique<InterimSpeechLayer>();
}
