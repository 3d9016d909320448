#include "SphinxModel.h"

#include <sphinxbase/cmn.h>
#include <sphinxbase/err.h>
#include <sphinxbase/fe.h>
#include <sphinxbase/feat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace msc {

namespace {

namespace fs = std::filesystem;

// The name of a decoder's second search, the one with the flat-lexicon pass.
constexpr const char *kFlatSearch = "flat";

bool EndsWith(const std::string &s, const std::string &end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

bool FindModelFiles(const std::string &dir, ModelFiles *out) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return false;
    ModelFiles files;
    std::vector<fs::path> entries;
    for (const auto &entry : fs::directory_iterator(dir, ec))
        entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    std::string lmText;
    for (const fs::path &path : entries) {
        const std::string name = path.filename().string();
        if (fs::is_directory(path, ec) && fs::exists(path / "mdef", ec)) {
            if (files.hmm.empty())
                files.hmm = path.string();
        } else if (EndsWith(name, ".lm.bin") && name.find("-phone") == std::string::npos) {
            if (files.lm.empty())
                files.lm = path.string();
        } else if ((EndsWith(name, ".lm") || EndsWith(name, ".lm.dmp")) && lmText.empty()) {
            lmText = path.string();
        } else if (EndsWith(name, ".dict") && files.dict.empty()) {
            files.dict = path.string();
        }
    }
    if (files.lm.empty())
        files.lm = lmText;
    if (files.hmm.empty() || files.lm.empty() || files.dict.empty())
        return false;
    *out = files;
    return true;
}

SphinxModel::SphinxModel(std::string name, ModelFiles files, std::string cmnFile)
    : m_name(std::move(name)), m_files(std::move(files)), m_cmnFile(std::move(cmnFile)) {}

SphinxModel::~SphinxModel() {
    for (auto &decoder : m_decoders)
        ps_free(decoder->ps);
}

SphinxModel::Decoder *SphinxModel::Load() {
    // The library's log is one for the whole process, and every decoder made with a log file
    // closes the one before: two decoders loaded at once (the warm-up of one model and the
    // first session of another) raced on it. It is switched off once, and decoders are made one
    // at a time.
    static std::once_flag quiet;
    std::call_once(quiet, [] { err_set_logfp(nullptr); });
    static std::mutex loading;
    std::lock_guard one(loading);
    // Our own end-of-speech timer ("vad_eos") runs on top of the decoder's voice activity, so
    // the decoder's hang-over after speech is kept short (10 frames, 100 ms). The decoder's own
    // search has no flat-lexicon pass; the second search, made afterwards, has it.
    cmd_ln_t *config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", m_files.hmm.c_str(), "-lm",
                                   m_files.lm.c_str(), "-dict", m_files.dict.c_str(),
                                   "-vad_postspeech", "10", "-fwdflat", "no", nullptr);
    if (!config)
        return nullptr;
    ps_decoder_t *ps = ps_init(config);
    cmd_ln_free_r(config);
    if (!ps)
        return nullptr;
    auto decoder = std::make_unique<Decoder>();
    decoder->ps = ps;
    decoder->treeSearch = ps_get_search(ps);
    // The search with the pass reads the language model file again (the search takes about
    // 65 MB with the US English model): sharing the first search's model made its streaming
    // a quarter slower. A search takes the pass from the decoder's
    // configuration when it is made. Making it also tells the acoustic model to keep every
    // frame of an utterance, which the pass goes over again: made after it, a search without
    // the pass would switch that off and long utterances would fail at their end.
    cmd_ln_t *live = ps_get_config(ps);
    cmd_ln_set_boolean_r(live, "-fwdflat", TRUE);
    if (ps_set_lm_file(ps, kFlatSearch, m_files.lm.c_str()) == 0)
        decoder->flatSearch = kFlatSearch;
    cmd_ln_set_boolean_r(live, "-fwdflat", FALSE);
    // The mean of an earlier run, if there is one.
    std::ifstream in(m_cmnFile);
    feat_t *feat = ps_get_feat(ps);
    if (in && feat && feat->cmn_struct) {
        std::vector<mfcc_t> mean;
        float value;
        while (in >> value)
            mean.push_back(value);
        if (mean.size() == static_cast<size_t>(feat->cmn_struct->veclen)) {
            cmn_live_set(feat->cmn_struct, mean.data());
            decoder->settled = true;
        }
    }
    m_decoders.push_back(std::move(decoder));
    return m_decoders.back().get();
}

void SphinxModel::Preload() {
    std::lock_guard lock(m_mutex);
    if (m_decoders.empty())
        if (Decoder *d = Load())
            m_free.push_back(d);
}

SphinxModel::Decoder *SphinxModel::Acquire() {
    std::lock_guard lock(m_mutex);
    if (!m_free.empty()) {
        Decoder *d = m_free.back();
        m_free.pop_back();
        return d;
    }
    return Load();
}

void SphinxModel::Release(Decoder *decoder) {
    if (!decoder)
        return;
    std::lock_guard lock(m_mutex);
    if (decoder->settled)
        SaveMean(decoder);
    m_free.push_back(decoder);
}

void SphinxModel::SaveMean(Decoder *decoder) {
    feat_t *feat = ps_get_feat(decoder->ps);
    if (m_cmnFile.empty() || !feat || !feat->cmn_struct)
        return;
    std::vector<mfcc_t> mean(feat->cmn_struct->veclen);
    cmn_live_get(feat->cmn_struct, mean.data());
    std::ostringstream text;
    for (mfcc_t v : mean)
        text << v << ' ';
    text << '\n';
    // Written beside and renamed, so that a crash never leaves half a file.
    std::string temp = m_cmnFile + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        if (!(out << text.str()))
            return;
    }
    std::error_code ec;
    fs::rename(temp, m_cmnFile, ec);
}

bool SphinxModel::Decoder::UseFlatPass(bool flatPass) {
    const std::string &name = flatPass && !flatSearch.empty() ? flatSearch : treeSearch;
    return ps_set_search(ps, name.c_str()) == 0;
}

bool SphinxModel::Decoder::Settle(const std::vector<short> &samples) {
    feat_t *feat = ps_get_feat(ps);
    if (!feat || !feat->cmn_struct || samples.empty())
        return false;
    // A front end of our own with the decoder's settings: its voice activity keeps only the
    // frames of speech, whose mean is what normalisation needs.
    fe_t *fe = fe_init_auto_r(ps_get_config(ps));
    if (!fe)
        return false;
    const int veclen = fe_get_output_size(fe);
    if (veclen != feat->cmn_struct->veclen) {
        fe_free(fe);
        return false;
    }
    std::vector<double> sum(veclen, 0.0);
    long frames = 0;
    std::vector<mfcc_t> buffer(64 * veclen);
    std::vector<mfcc_t *> rows(64);
    for (int i = 0; i < 64; ++i)
        rows[i] = buffer.data() + i * veclen;
    fe_start_utt(fe);
    const int16 *p = samples.data();
    size_t left = samples.size();
    while (left > 0) {
        int32 n = 64;
        if (fe_process_frames(fe, &p, &left, rows.data(), &n, nullptr) < 0)
            break;
        for (int32 f = 0; f < n; ++f)
            for (int c = 0; c < veclen; ++c)
                sum[c] += rows[f][c];
        frames += n;
        if (n == 0 && left > 0)
            break;
    }
    int32 last = 0;
    fe_end_utt(fe, rows[0], &last);
    for (int32 f = 0; f < last; ++f)
        for (int c = 0; c < veclen; ++c)
            sum[c] += rows[f][c];
    frames += last;
    fe_free(fe);
    if (frames < 50)  // half a second of speech at least, or the guess stays
        return false;
    std::vector<mfcc_t> mean(veclen);
    for (int c = 0; c < veclen; ++c)
        mean[c] = static_cast<mfcc_t>(sum[c] / frames);
    cmn_live_set(feat->cmn_struct, mean.data());
    settled = true;
    return true;
}

}  // namespace msc
