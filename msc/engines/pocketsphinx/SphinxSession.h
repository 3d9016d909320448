// SphinxSession: one recognition session on a pocketsphinx decoder. Audio is decoded on a thread
// of the session as it is written, so that writing never waits for the decoder (a capture that
// waited would lose audio while the machine is busy); the end of speech, the partial and the
// final hypotheses become the results the session's parameters ask for.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Engine.h"
#include "SphinxModel.h"

namespace msc {

struct SphinxSessionOptions {
    bool json = false;         // result_type = json
    bool progressive = false;  // dwa = wpgs: partial hypotheses as replacing pieces
    bool punctuate = false;    // ptt = 1
    long endSilenceMs = 2000;  // vad_eos; 0: no end-of-speech detection
    // The flat-lexicon pass after the audio has ended. Continuous sessions (JSON results) have
    // it: their text is typed at a pause while the user speaks on, and the pass hears later
    // phrases better. A plain session's text is typed once the voice key is up, with the user
    // waiting for it, and there the pass cost as much as the rest of the wait.
    bool flatPass = false;
};

// Reads the options from a session's parameters; false for values it cannot use.
bool ReadSphinxOptions(const Params &params, SphinxSessionOptions *out);

// Joins words as text: a blank between two words unless both sides are characters of a script
// written without blanks (Chinese, Japanese).
std::string JoinWords(const std::vector<std::string> &words);

class SphinxSession : public RecognitionSession {
  public:
    SphinxSession(SphinxModel *model, SphinxModel::Decoder *decoder, SphinxSessionOptions options);
    ~SphinxSession() override;

    int Write(const char *data, size_t length, int audioStatus, int *endpoint,
              int *recognition) override;
    int GetResult(std::string *text, bool *hasText, int *recognition) override;

  private:
    void DecodeLoop();
    // Decodes one written block (decoder thread).
    void Decode(const std::vector<short> &samples);
    // Decodes what remains and queues the final result (decoder thread).
    void Finish();
    std::string PieceJson(const std::vector<std::string> &words, bool last);

    SphinxModel *m_model;
    SphinxModel::Decoder *m_decoder;
    const SphinxSessionOptions m_options;

    // The decoder thread's own.
    bool m_started = false;
    bool m_heardSpeech = false;
    long m_silentSamples = 0;    // since the last speech
    std::vector<short> m_audio;  // kept for the decoder's first utterance (Settle)
    std::string m_lastPartial;

    std::thread m_thread;
    std::mutex m_mutex;  // guards everything below
    std::condition_variable m_wake;
    std::deque<std::vector<short>> m_pending;  // written, not decoded yet
    size_t m_pendingSamples = 0;
    bool m_lastWritten = false;  // the last block has been written
    bool m_quit = false;
    bool m_ended = false;        // the audio has ended (last block, end of speech or an error)
    bool m_endOfSpeech = false;  // the silence of vad_eos followed speech
    bool m_sawSpeech = false;
    int m_error = 0;                    // the decoder failed
    std::string m_partial;              // the newest partial hypothesis, not handed out yet
    std::deque<std::string> m_results;  // final results not fetched yet
    int m_pieces = 0;                   // JSON pieces handed out ("sn")
};

}  // namespace msc
