// SphinxSession: one recognition session on a pocketsphinx decoder. Audio is decoded as it is
// written; the end of speech, the partial and the final hypotheses become the results the
// session's parameters ask for.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "Engine.h"
#include "SphinxModel.h"

namespace msc {

struct SphinxSessionOptions {
    bool json = false;         // result_type = json
    bool progressive = false;  // dwa = wpgs: partial hypotheses as replacing pieces
    bool punctuate = false;    // ptt = 1
    long endSilenceMs = 2000;  // vad_eos; 0: no end-of-speech detection
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
    // Decodes what remains and queues the final result.
    int Finish();
    void QueuePartial();
    std::string PieceJson(const std::vector<std::string> &words, bool last);

    SphinxModel *m_model;
    SphinxModel::Decoder *m_decoder;
    SphinxSessionOptions m_options;
    bool m_started = false;
    bool m_ended = false;        // the audio has ended (last block, end of speech or an error)
    bool m_endOfSpeech = false;  // the silence of vad_eos followed speech
    bool m_sawSpeech = false;
    long m_silentSamples = 0;    // since the last speech
    std::vector<short> m_audio;  // kept for the decoder's first utterance (Settle)
    std::string m_partial;       // the last partial hypothesis handed out or pending
    bool m_partialPending = false;
    std::deque<std::string> m_results;  // final results not fetched yet
    int m_pieces = 0;                   // JSON pieces handed out ("sn")
};

}  // namespace msc
