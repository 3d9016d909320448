#include "SphinxSession.h"

#include <json/json.h>

#include <sstream>

namespace msc {

namespace {

constexpr int kRate = 16000;
// Audio is decoded in 20 ms steps, so that the end of speech is found to within 20 ms.
constexpr size_t kStepSamples = kRate / 50;
// The first utterance is kept (for Settle) up to this length.
constexpr size_t kKeepSamples = kRate * 30;
// Audio written ahead of the decoder, at most.
constexpr size_t kMaxPendingSamples = kRate * 60;

bool Unspaced(unsigned char lead) {
    return lead >= 0xE3 && lead <= 0xE9;  // UTF-8 leads of kana and the CJK ideographs
}

// The lead byte of the last UTF-8 character of `s`.
unsigned char LastLead(const std::string &s) {
    size_t i = s.size();
    while (i > 0 && (static_cast<unsigned char>(s[i - 1]) & 0xC0) == 0x80)
        --i;
    return i > 0 ? static_cast<unsigned char>(s[i - 1]) : 0;
}

std::vector<std::string> Words(const char *hyp) {
    std::vector<std::string> words;
    std::istringstream in(hyp ? hyp : "");
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

}  // namespace

bool ReadSphinxOptions(const Params &params, SphinxSessionOptions *out) {
    SphinxSessionOptions o;
    o.json = params.Get("result_type", "plain") == "json";
    o.progressive = o.json && params.Get("dwa") == "wpgs";
    o.punctuate = params.GetInt("ptt", 1) != 0;
    o.endSilenceMs = params.GetInt("vad_eos", 2000);
    o.flatPass = o.json;
    if (o.endSilenceMs < 0)
        return false;
    if (params.GetInt("sample_rate", kRate) != kRate)
        return false;
    *out = o;
    return true;
}

std::string JoinWords(const std::vector<std::string> &words) {
    std::string text;
    for (const std::string &w : words) {
        if (!text.empty() && !(Unspaced(LastLead(text)) && Unspaced(w[0])))
            text += ' ';
        text += w;
    }
    return text;
}

SphinxSession::SphinxSession(SphinxModel *model, SphinxModel::Decoder *decoder,
                             SphinxSessionOptions options)
    : m_model(model), m_decoder(decoder), m_options(options) {
    m_thread = std::thread([this] { DecodeLoop(); });
}

SphinxSession::~SphinxSession() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
    if (m_started && !m_ended)
        ps_end_utt(m_decoder->ps);
    m_model->Release(m_decoder);
}

int SphinxSession::Write(const char *data, size_t length, int audioStatus, int *endpoint,
                         int *recognition) {
    std::lock_guard lock(m_mutex);
    if (m_error)
        return m_error;
    if (!m_ended && !m_lastWritten) {
        const short *samples = reinterpret_cast<const short *>(data);
        const size_t count = length / 2;
        // A decoder that falls a minute behind drops what comes next rather than grow without end.
        if (count > 0 && m_pendingSamples + count <= kMaxPendingSamples) {
            m_pending.emplace_back(samples, samples + count);
            m_pendingSamples += count;
        }
        if (audioStatus == MSC_AUDIO_LAST)
            m_lastWritten = true;
        m_wake.notify_all();
    }
    *endpoint = m_endOfSpeech ? MSC_EP_AFTER_SPEECH
                              : (m_sawSpeech ? MSC_EP_IN_SPEECH : MSC_EP_LOOKING_FOR_SPEECH);
    *recognition =
        (!m_partial.empty() || !m_results.empty()) ? MSC_REC_RESULT_READY : MSC_REC_INCOMPLETE;
    return 0;
}

void SphinxSession::DecodeLoop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock,
                    [this] { return m_quit || m_ended || !m_pending.empty() || m_lastWritten; });
        if (m_quit || m_ended)
            return;
        if (m_pending.empty()) {  // the last block has been written and decoded
            lock.unlock();
            Finish();
            lock.lock();
            continue;
        }
        std::vector<short> samples = std::move(m_pending.front());
        m_pending.pop_front();
        m_pendingSamples -= samples.size();
        lock.unlock();
        Decode(samples);
        lock.lock();
    }
}

void SphinxSession::Decode(const std::vector<short> &samples) {
    auto fail = [this] {
        std::lock_guard lock(m_mutex);
        m_error = MSC_ERROR_ENGINE;
        m_ended = true;
    };
    if (!m_started) {
        if (!m_decoder->UseFlatPass(m_options.flatPass) || ps_start_utt(m_decoder->ps) < 0)
            return fail();
        m_started = true;
    }
    if (!m_decoder->settled && m_audio.size() + samples.size() <= kKeepSamples)
        m_audio.insert(m_audio.end(), samples.begin(), samples.end());
    bool speech = false, endOfSpeech = false;
    for (size_t at = 0; at < samples.size() && !endOfSpeech; at += kStepSamples) {
        const size_t n = std::min(kStepSamples, samples.size() - at);
        if (ps_process_raw(m_decoder->ps, samples.data() + at, n, FALSE, FALSE) < 0) {
            ps_end_utt(m_decoder->ps);
            m_started = false;
            return fail();
        }
        if (ps_get_in_speech(m_decoder->ps)) {
            speech = m_heardSpeech = true;
            m_silentSamples = 0;
        } else if (m_heardSpeech) {
            m_silentSamples += n;
            endOfSpeech = m_options.endSilenceMs > 0 &&
                          m_silentSamples * 1000 >= m_options.endSilenceMs * kRate;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_sawSpeech = m_sawSpeech || speech;
        m_endOfSpeech = endOfSpeech;
    }
    if (endOfSpeech) {
        Finish();
        return;
    }
    if (m_options.progressive) {
        const std::string text = JoinWords(Words(ps_get_hyp(m_decoder->ps, nullptr)));
        if (!text.empty() && text != m_lastPartial) {
            m_lastPartial = text;
            std::lock_guard lock(m_mutex);
            m_partial = text;  // only the newest one matters
        }
    }
}

void SphinxSession::Finish() {
    std::string hyp;
    if (m_started) {
        m_started = false;
        if (ps_end_utt(m_decoder->ps) < 0) {
            std::lock_guard lock(m_mutex);
            m_error = MSC_ERROR_ENGINE;
            m_ended = true;
            return;
        }
        if (const char *h = ps_get_hyp(m_decoder->ps, nullptr))
            hyp = h;
        // A decoder's first utterance was heard with a guessed cepstral mean: learn the real
        // one from it and hear it again.
        if (!m_decoder->settled && m_decoder->Settle(m_audio) && ps_start_utt(m_decoder->ps) >= 0) {
            ps_process_raw(m_decoder->ps, m_audio.data(), m_audio.size(), FALSE, FALSE);
            ps_end_utt(m_decoder->ps);
            if (const char *h = ps_get_hyp(m_decoder->ps, nullptr))
                hyp = h;
        }
    }
    m_audio.clear();
    std::vector<std::string> words = Words(hyp.c_str());
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_partial.clear();
    if (words.empty() && (!m_options.progressive || m_pieces == 0))
        return;  // nothing was said
    if (m_options.punctuate && !words.empty())
        words.back() += Unspaced(LastLead(words.back())) ? "\xE3\x80\x82" : ".";
    if (m_options.json) {
        m_results.push_back(PieceJson(words, true));
    } else {
        std::string text = JoinWords(words);
        // Texts of later utterances are typed right after this one: end with a blank where
        // words are written apart.
        if (!Unspaced(LastLead(text)))
            text += ' ';
        m_results.push_back(text);
    }
}

std::string SphinxSession::PieceJson(const std::vector<std::string> &words, bool last) {
    Json::Value root(Json::objectValue);
    const int sn = ++m_pieces;
    root["sn"] = sn;
    root["ls"] = last;
    root["bg"] = 0;
    root["ed"] = 0;
    if (m_options.progressive) {
        root["pgs"] = sn == 1 ? "apd" : "rpl";
        if (sn > 1) {
            Json::Value range(Json::arrayValue);
            range.append(sn - 1);
            range.append(sn - 1);
            root["rg"] = range;
        }
    }
    Json::Value ws(Json::arrayValue);
    std::string typed;
    for (size_t i = 0; i < words.size(); ++i) {
        // The program joins the words as they are: the blanks between them travel in "w".
        std::string w = words[i];
        if (!typed.empty() && !(Unspaced(LastLead(typed)) && Unspaced(w[0])))
            w = " " + w;
        if (last && i + 1 == words.size() && !Unspaced(LastLead(w)))
            w += ' ';
        typed += w;
        Json::Value candidate(Json::objectValue);
        candidate["w"] = w;
        candidate["sc"] = 0;
        Json::Value cw(Json::arrayValue);
        cw.append(candidate);
        Json::Value word(Json::objectValue);
        word["bg"] = 0;
        word["cw"] = cw;
        ws.append(word);
    }
    root["ws"] = ws;
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, root);
}

int SphinxSession::GetResult(std::string *text, bool *hasText, int *recognition) {
    std::lock_guard lock(m_mutex);
    *hasText = false;
    if (!m_results.empty()) {
        *text = m_results.front();
        m_results.pop_front();
        *hasText = true;
    } else if (!m_partial.empty()) {
        *text = PieceJson(Words(m_partial.c_str()), false);
        m_partial.clear();
        *hasText = true;
    }
    if (m_ended && m_results.empty())
        *recognition = MSC_REC_COMPLETE;
    else
        *recognition =
            (!m_partial.empty() || !m_results.empty()) ? MSC_REC_RESULT_READY : MSC_REC_INCOMPLETE;
    return m_error;
}

}  // namespace msc
