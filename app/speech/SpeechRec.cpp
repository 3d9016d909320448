#include "speech/SpeechRec.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "msc.h"
#include "platform/WriteLog.h"
#include "shell/AppSettings.h"
#include "shell/ProgramState.h"

SpeechRec g_recognizer;
std::string g_sessionParams;

const LanguageRow kLanguageTable[14] = {
    {"zh_cn", "mandarin", u"普通话"},   {"en_us", "mandarin", u"英语"},
    {"zh_cn", "cantonese", u"粤语"},    {"zh_cn", "lmz", u"四川话"},
    {"zh_cn", "henanese", u"河南话"},   {"zh_cn", "shanghainese", u"上海话"},
    {"zh_cn", "dongbeiese", u"东北话"}, {"zh_cn", "shandongnese", u"山东话"},
    {"zh_cn", "yunnanese", u"云南话"},  {"zh_cn", "shanxinese", u"陕西话"},
    {"zh_cn", "gansunese", u"甘肃话"},  {"zh_cn", "wuhanese", u"武汉话"},
    {"zh_cn", "hebeinese", u"河北话"},  {"zh_cn", "changshanese", u"长沙话"},
};

namespace {

constexpr const char *kPlainFormat =
    "language = %s, accent = %s, result_type = plain, result_encoding = gb2312, ptt = %d";
constexpr const char *kJsonFormat =
    "language = %s, accent = %s, result_type = json, result_encoding = UTF-8, ptt = %d, "
    "vad_eos=200";
constexpr const char *kJsonCorrectionFormat =
    "language = %s, accent = %s, result_type = json, result_encoding = UTF-8, ptt = %d, "
    "dwa = wpgs, vad_eos=200";
constexpr const char *kDefaultParams =
    "sub = iat, domain = iat, language = zh_cn, accent = mandarin, sample_rate = 16000, "
    "result_type = plain, result_encoding = gb2312";

constexpr auto kPollInterval = std::chrono::milliseconds(100);

void EndSession(SpeechRec &rec, const char *hints) {
    if (const char *id = rec.sessionId.exchange(nullptr))
        QISRSessionEnd(id, hints);
}

// One poll for a result; a text goes to resultFn. False after an error, which has ended the
// session.
bool FetchResult(SpeechRec &rec) {
    int error = 0;
    const char *text = QISRGetResult(rec.sessionId, &rec.recognitionStatus, 0, &error);
    if (error != 0) {
        std::printf("\nQISRGetResult failed! error code: %d\n", error);
        sr_end_on_error(error);
        return false;
    }
    if (text && rec.notifier.resultFn)
        rec.notifier.resultFn(text, rec.recognitionStatus == MSC_REC_COMPLETE);
    return true;
}

void StopRecorderIfRecording(SpeechRec &rec) {
    // recorder_stop itself looks whether it records, once a start under way is complete: the
    // first block can end the session before the start has returned.
    if (rec.recorder)
        recorder_stop(rec.recorder);
}

}  // namespace

void BuildSessionParams() {
    const int language = g_settings.Language;
    const LanguageRow &row = kLanguageTable[language];
    g_languageName = row.displayName;
    const char *format;
    const char *code = row.code;
    const char *accent = row.accent;
    if (language == 1) {
        format = kPlainFormat;
        code = "en_us";
        accent = "mandarin";
    } else if (g_settings.AutoModify) {
        format = kJsonCorrectionFormat;
    } else if (g_settings.LongPressModel) {
        format = kJsonFormat;
    } else {
        format = kPlainFormat;
    }
    char text[256];
    std::snprintf(text, sizeof text, format, code, accent, g_settings.ShowFlag);
    g_sessionParams = text;  // plain ASCII: the same bytes in the OEM code page
}

int ReadSampleRate(const char *params, WaveFormat *format) {
    if (!params || !format)
        return -1;
    const char *key = std::strstr(params, "sample_rate");
    if (!key)
        return -1;
    const char *p = std::strchr(key, '=');
    if (!p)
        return -1;
    while (*p && *p != ' ')
        ++p;
    if (*p == ' ') {
        // The number that follows; leading blanks are skipped.
        long rate = std::strtol(p, nullptr, 10);
        format->samplesPerSec = static_cast<uint32_t>(rate);
        format->avgBytesPerSec = format->samplesPerSec * format->blockAlign;
    }
    return 0;
}

int sr_prepare(const char *params, const SpeechRecNotifier *notifier) {
    if (!WaveIn::HasDevice())
        return -1;
    if (!params)
        params = kDefaultParams;
    SpeechRec &rec = g_recognizer;
    rec.state = 0;
    rec.audioSource = 0;
    rec.sessionId = nullptr;
    rec.endpointStatus = 0;
    rec.recognitionStatus = 0;
    rec.audioStatus = MSC_AUDIO_FIRST;

    size_t length = std::strlen(params);
    std::free(rec.params);
    rec.params = static_cast<char *>(std::malloc(length + 1));
    if (!rec.params) {
        std::printf("mem alloc failed\n");
        return -2;
    }
    std::memcpy(rec.params, params, length + 1);
    rec.notifier = notifier ? *notifier : SpeechRecNotifier{};

    int err = recorder_create(&rec.recorder, sr_on_audio, &rec);
    if (err != 0) {
        std::printf("create recorder failed: %d\n", err);
        recorder_free(rec.recorder);
        rec.recorder = nullptr;
        std::free(rec.params);
        rec.params = nullptr;
        rec.notifier = {};
        return -4;
    }
    WaveFormat format = recorder_default_format();
    ReadSampleRate(rec.params, &format);
    // An open that fails is not reported here: starting the recording will fail.
    if (rec.recorder->state < RECORDER_READY && recorder_open(rec.recorder, &format) == 0)
        rec.recorder->state = RECORDER_READY;
    return 0;
}

int sr_begin_listening() {
    SpeechRec &rec = g_recognizer;
    if (rec.state == 1) {
        std::printf("already STARTED.\n");
        return -5;
    }
    int error = 0;
    const char *id = QISRSessionBegin(nullptr, rec.params, &error);
    if (error != 0 || !id) {
        std::printf("\nQISRSessionBegin failed! error code:%d\n", error);
        return error != 0 ? error : MSC_ERROR_INVALID_SESSION;
    }
    rec.sessionId = id;
    rec.endpointStatus = 0;
    rec.recognitionStatus = 0;
    rec.audioStatus = MSC_AUDIO_FIRST;
    // Speech begins before the recording starts: the first block's result may come at once, on
    // the recorder thread, and must find the result buffer made.
    if (rec.notifier.beginFn)
        rec.notifier.beginFn();
    // Started before the recording is: the first block may end the session at once (on the
    // recorder thread), and only a started session is ended.
    rec.state = 1;
    int err = recorder_start(rec.recorder);
    if (err != 0) {
        rec.state = 0;
        std::printf("start record failed: %d\n", err);
        EndSession(rec, "start record fail");
        return -4;
    }
    return 0;
}

void sr_on_audio(char *data, unsigned long length, void *user) {
    auto *rec = static_cast<SpeechRec *>(user);
    // Blocks that arrive after the end of speech are not needed.
    if (length != 0 && data && rec && rec->endpointStatus < MSC_EP_AFTER_SPEECH)
        sr_feed_audio(data, length);
}

int sr_feed_audio(const char *data, unsigned long length) {
    SpeechRec &rec = g_recognizer;
    if (!data || length == 0)
        return 0;
    int rc = QISRAudioWrite(rec.sessionId, data, static_cast<unsigned>(length), rec.audioStatus,
                            &rec.endpointStatus, &rec.recognitionStatus);
    if (rc != 0) {
        sr_end_on_error(rc);
        return rc;
    }
    rec.audioStatus = MSC_AUDIO_CONTINUE;
    if (rec.recognitionStatus == MSC_REC_RESULT_READY && !FetchResult(rec))
        return rec.recognitionStatus;
    if (rec.endpointStatus == MSC_EP_AFTER_SPEECH)
        sr_end_on_speech_end();
    return 0;
}

void sr_end_on_speech_end() {
    SpeechRec &rec = g_recognizer;
    // Whoever takes the state from 1 ends the session: when the key was released at the same
    // moment, the stop worker has it and collects the last results itself.
    int expected = 1;
    if (!rec.state.compare_exchange_strong(expected, 0))
        return;
    StopRecorderIfRecording(rec);
    while (rec.recognitionStatus != MSC_REC_COMPLETE) {
        recorder_dispatch_pending(rec.recorder);
        if (!FetchResult(rec))
            return;
        if (rec.recognitionStatus == MSC_REC_COMPLETE)
            break;
        std::this_thread::sleep_for(kPollInterval);
    }
    if (rec.sessionId) {
        if (rec.notifier.endFn)
            rec.notifier.endFn(0);
        EndSession(rec, "VAD Normal");  // unless the callback ended it already
    }
}

void sr_end_on_error(int code) {
    SpeechRec &rec = g_recognizer;
    StopRecorderIfRecording(rec);
    if (rec.sessionId) {
        if (rec.notifier.endFn)
            rec.notifier.endFn(code);
        EndSession(rec, "err");
    }
    rec.state = 0;
}

int sr_stop_listening() {
    SpeechRec &rec = g_recognizer;
    int expected = 1;
    if (!rec.state.compare_exchange_strong(expected, 0)) {
        std::printf("Not started or already stopped.\n");
        return 0;
    }
    if (recorder_stop(rec.recorder) != 0) {
        std::printf("Stop failed! \n");
        return -4;
    }
    // Every block recorded so far goes through sr_on_audio first.
    recorder_wait_idle(rec.recorder);
    if (!rec.sessionId) {
        // One of those blocks met an error, which ended the session.
        std::printf("Not started or already stopped.\n");
        return 0;
    }
    int rc = QISRAudioWrite(rec.sessionId, nullptr, 0, MSC_AUDIO_LAST, &rec.endpointStatus,
                            &rec.recognitionStatus);
    if (rc != 0) {
        std::printf("write LAST_SAMPLE failed: %d\n", rc);
        EndSession(rec, "write err");
        return rc;
    }
    while (rec.recognitionStatus != MSC_REC_COMPLETE) {
        int error = 0;
        const char *text = QISRGetResult(rec.sessionId, &rec.recognitionStatus, 0, &error);
        if (error != 0) {
            std::printf("\nQISRGetResult failed! error code: %d\n", error);
            sr_end_on_error(error);
            return error;
        }
        if (text && rec.notifier.resultFn)
            rec.notifier.resultFn(text, rec.recognitionStatus == MSC_REC_COMPLETE);
        if (rec.recognitionStatus == MSC_REC_COMPLETE)
            break;
        std::this_thread::sleep_for(kPollInterval);
    }
    EndSession(rec, "normal");
    return 0;
}

void sr_release() {
    SpeechRec &rec = g_recognizer;
    if (Recorder *r = rec.recorder) {
        if (!recorder_is_idle(r))
            recorder_stop(r);
        if (r->state > RECORDER_CREATED) {
            if (r->state == RECORDER_RECORDING)
                recorder_stop(r);
            recorder_close(r);
            r->state = RECORDER_CREATED;
        }
        recorder_free(r);
        rec.recorder = nullptr;
    }
    std::free(rec.params);
    rec.params = nullptr;
}

int RecognitionStopWorker(SpeechRec *recognizer) {
    int rc = sr_stop_listening();
    if (rc != 0) {
        char line[64];
        std::snprintf(line, sizeof line, "sr_stop_listening err:%d", rc);
        WriteLog(line);
    }
    sr_release();
    g_listening = false;
    return 0;
}

void StopRecognition() {
    std::thread worker(RecognitionStopWorker, &g_recognizer);
    worker.join();
}
