// SphinxModel: one installed pocketsphinx model and the decoders loaded from it. A decoder
// serves one session at a time; the model hands out a free one or loads another.
//
// Live cepstral normalisation needs the mean of the speaker's cepstra: a fresh decoder guesses
// badly and gets its first utterance wrong. The model therefore keeps the mean that its last
// session ended with in the work directory, and a decoder that starts without one learns it from
// the speech of its first utterance and decodes that utterance again (Decoder::Settle).
//
// After the streaming tree search, pocketsphinx can search the whole utterance once more with a
// flat lexicon. That pass hears better but runs only once the audio has ended, i.e. while a
// user who let go of the voice key waits for the text. A decoder therefore has two searches with
// the same models, with and without that pass, and each session picks one.
#pragma once

#include <pocketsphinx.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace msc {

struct ModelFiles {
    std::string hmm;   // acoustic model folder
    std::string lm;    // language model
    std::string dict;  // pronunciation dictionary
};

// Finds the three parts in `dir`; false when one is missing.
bool FindModelFiles(const std::string &dir, ModelFiles *out);

class SphinxModel {
  public:
    // `cmnFile`: where the cepstral mean is kept between runs (may be empty).
    SphinxModel(std::string name, ModelFiles files, std::string cmnFile);
    ~SphinxModel();

    class Decoder {
      public:
        ps_decoder_t *ps = nullptr;
        bool settled = false;  // the cepstral mean fits the speaker
        // Makes the search with the flat-lexicon pass (or the one without it) the decoder's
        // search for the next utterance. Call between utterances only.
        bool UseFlatPass(bool flatPass);
        // Learns the cepstral mean from `samples` (16 kHz speech) and makes it the decoder's.
        bool Settle(const std::vector<short> &samples);

        std::string treeSearch;  // the decoder's own search: tree, then best path
        std::string flatSearch;  // tree, flat lexicon, best path; empty when it could not be made
    };

    // Loads a decoder ahead of the first session (when none is loaded yet).
    void Preload();
    // A free decoder, loading one when all are busy; null when the model cannot be loaded.
    Decoder *Acquire();
    // Gives the decoder back after a session; keeps its cepstral mean for the next run.
    void Release(Decoder *decoder);

    const std::string &Name() const { return m_name; }

  private:
    Decoder *Load();
    void SaveMean(Decoder *decoder);

    std::string m_name;
    ModelFiles m_files;
    std::string m_cmnFile;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Decoder>> m_decoders;
    std::vector<Decoder *> m_free;
};

}  // namespace msc
