// SpeechRec: the program's layer over the speech library's recognition sessions. It prepares a
// session per utterance, streams the recorder's blocks into it, polls for results and hands them
// to three callbacks, and ends the session at the end of speech, at the release of the voice key
// or on an error. C-style: sr_... operations returning 0, a negative code of this module (-1 no
// sound-input device, -2 out of memory, -3 no recognizer, -4 recording failed, -5 already
// started) or the library's own code.
#pragma once

#include <atomic>
#include <string>

#include "platform/WaveIn.h"
#include "speech/Recorder.h"

struct SpeechRecNotifier {
    // text: owned by the library, valid during the call only.
    void (*resultFn)(const char *text, bool isLast) = nullptr;
    void (*beginFn)() = nullptr;
    // reason: 0 the end of speech was detected, else the library error that ended the session.
    void (*endFn)(int reason) = nullptr;
};

struct SpeechRec {
    int audioSource = 0;  // 0: the microphone through the recorder
    SpeechRecNotifier notifier;
    // The recorder thread and the stop worker both use these, one after the other; atomic so
    // that the hand-over is well defined.
    std::atomic<const char *> sessionId{nullptr};
    int endpointStatus = 0;     // 3: the end of speech was detected
    int recognitionStatus = 0;  // 0: a result can be fetched, 5: recognition complete
    int audioStatus = 1;        // 1 first block, 2 further blocks, 4 the final empty block
    Recorder *recorder = nullptr;
    std::atomic<int> state{0};  // 0 idle, 1 started (audio is being sent)
    char *params = nullptr;     // copy of the session's parameter text
};

// One recognition language: the index is the setting Language.
struct LanguageRow {
    const char *code;
    const char *accent;
    const char16_t *displayName;
};
extern const LanguageRow kLanguageTable[14];

extern SpeechRec g_recognizer;
// The parameter text of the next session (OEM code page), rebuilt by BuildSessionParams.
extern std::string g_sessionParams;

// Sets g_languageName and g_sessionParams from g_settings.
void BuildSessionParams();
// Takes "sample_rate" out of the parameter text into `format`; -1 when it has none.
int ReadSampleRate(const char *params, WaveFormat *format);

int sr_prepare(const char *params, const SpeechRecNotifier *notifier);
int sr_begin_listening();
void sr_on_audio(char *data, unsigned long length, void *user);
int sr_feed_audio(const char *data, unsigned long length);
void sr_end_on_speech_end();
void sr_end_on_error(int code);
int sr_stop_listening();
void sr_release();

int RecognitionStopWorker(SpeechRec *recognizer);
// Runs RecognitionStopWorker on a new thread and waits for it without a time limit.
void StopRecognition();
