#include "ScriptedEngine.h"

#include <cstdio>
#include <deque>
#include <fstream>
#include <mutex>
#include <sstream>

#include "SpeechScript.h"

namespace msc {
namespace {

// Appends one line per call to the journal file, with control bytes escaped so that every
// record stays on its line.
class Journal {
  public:
    explicit Journal(std::string path) : path_(std::move(path)) {}

    void Add(std::string_view kind, std::string_view text = {}) {
        if (path_.empty())
            return;
        std::string line(kind);
        if (!text.empty())
            line += ' ';
        for (char c : text) {
            if (c == '\n')
                line += "\\n";
            else if (c == '\r')
                line += "\\r";
            else if (c == '\\')
                line += "\\\\";
            else
                line += c;
        }
        line += '\n';
        std::lock_guard<std::mutex> lock(mutex_);
        if (FILE *f = std::fopen(path_.c_str(), "ab")) {
            std::fwrite(line.data(), 1, line.size(), f);
            std::fclose(f);
        }
    }

  private:
    std::string path_;
    std::mutex mutex_;
};

class ScriptedSession : public RecognitionSession {
  public:
    ScriptedSession(SessionPlan plan, std::shared_ptr<Journal> journal)
        : plan_(std::move(plan)), journal_(std::move(journal)) {}

    int Write(const char *data, size_t length, int audioStatus, int *endpoint,
              int *recognition) override {
        journal_->Add("write", std::to_string(length) + " " + std::to_string(audioStatus));
        written_ += static_cast<long long>(length);
        int result = 0;
        // Audio after the detected end of speech is accepted and ignored.
        while (!audioEnded_ && next_ < plan_.events.size()) {
            const ScriptEvent &event = plan_.events[next_];
            if (event.at == ScriptEvent::kFinal || event.at > written_)
                break;
            ++next_;
            if (event.kind == ScriptEvent::kResult) {
                ready_.push_back(event);
            } else if (event.kind == ScriptEvent::kEndOfSpeech) {
                speechEnded_ = true;
                EndAudio();
            } else {
                result = event.code;
                break;
            }
        }
        if (audioStatus == MSC_AUDIO_LAST && result == 0)
            EndAudio();
        *endpoint = speechEnded_ ? MSC_EP_AFTER_SPEECH
                                 : (written_ > 0 ? MSC_EP_IN_SPEECH : MSC_EP_LOOKING_FOR_SPEECH);
        *recognition = ready_.empty() ? MSC_REC_INCOMPLETE : MSC_REC_RESULT_READY;
        return result;
    }

    int GetResult(std::string *text, bool *hasText, int *recognition) override {
        *hasText = false;
        int result = 0;
        if (!ready_.empty()) {
            ScriptEvent event = std::move(ready_.front());
            ready_.pop_front();
            if (event.kind == ScriptEvent::kError) {
                result = event.code;
            } else {
                *text = std::move(event.text);
                *hasText = true;
                journal_->Add("result", *text);
            }
        }
        if (audioEnded_ && ready_.empty())
            *recognition = MSC_REC_COMPLETE;
        else
            *recognition = ready_.empty() ? MSC_REC_INCOMPLETE : MSC_REC_RESULT_READY;
        return result;
    }

    void End(std::string_view hints) override { journal_->Add("end", hints); }

  private:
    // The audio is over: the final results and errors become ready; later audio events never
    // happen.
    void EndAudio() {
        if (audioEnded_)
            return;
        audioEnded_ = true;
        for (; next_ < plan_.events.size(); ++next_) {
            const ScriptEvent &event = plan_.events[next_];
            if (event.at == ScriptEvent::kFinal && event.kind != ScriptEvent::kEndOfSpeech)
                ready_.push_back(event);
        }
    }

    SessionPlan plan_;
    std::shared_ptr<Journal> journal_;
    long long written_ = 0;
    size_t next_ = 0;
    bool audioEnded_ = false;
    bool speechEnded_ = false;
    std::deque<ScriptEvent> ready_;
};

class ScriptedEngine : public Engine {
  public:
    ScriptedEngine(SpeechScript script, std::shared_ptr<Journal> journal)
        : script_(std::move(script)), journal_(std::move(journal)) {}

    int BeginSession(const Params &params, std::unique_ptr<RecognitionSession> *session) override {
        journal_->Add("begin", params.Source());
        SessionPlan plan;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (next_ >= script_.sessions.size() && script_.loop)
                next_ = 0;
            if (next_ < script_.sessions.size())
                plan = script_.sessions[next_++];
        }
        if (plan.beginError != 0)
            return plan.beginError;
        *session = std::make_unique<ScriptedSession>(std::move(plan), journal_);
        return 0;
    }

    int Search(const Params &params, std::string_view request, std::string *answer) override {
        journal_->Add("search", request);
        for (const SearchRule &rule : script_.searches) {
            if (rule.request == "*" || rule.request == request) {
                if (rule.error != 0)
                    return rule.error;
                *answer = rule.answer;
                return 0;
            }
        }
        return MSC_ERROR_NOT_SUPPORTED;
    }

    void Logout() override { journal_->Add("logout"); }

  private:
    const SpeechScript script_;
    std::shared_ptr<Journal> journal_;
    std::mutex mutex_;
    size_t next_ = 0;
};

}  // namespace

int CreateScriptedEngine(const LoginContext &login, std::unique_ptr<Engine> *engine) {
    std::string journalPath = login.params.Get("journal");
    auto journal = std::make_shared<Journal>(journalPath.empty() ? std::string()
                                                                 : login.ResolvePath(journalPath));
    SpeechScript script;
    std::string scriptPath = login.params.Get("script");
    if (!scriptPath.empty()) {
        std::ifstream in(login.ResolvePath(scriptPath), std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "msc: cannot read the script %s\n", scriptPath.c_str());
            return MSC_ERROR_ENGINE_SETUP;
        }
        std::stringstream text;
        text << in.rdbuf();
        std::string error;
        if (!script.Parse(text.str(), &error)) {
            std::fprintf(stderr, "msc: %s: %s\n", scriptPath.c_str(), error.c_str());
            return MSC_ERROR_ENGINE_SETUP;
        }
    }
    if (!script.appid.empty() && script.appid != login.appid)
        return MSC_ERROR_INVALID_APPID;
    journal->Add("login", "appid=" + login.appid);
    *engine = std::make_unique<ScriptedEngine>(std::move(script), std::move(journal));
    return 0;
}

}  // namespace msc
