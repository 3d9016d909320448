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
    : m_model(model), m_decoder(decoder), m_options(options) {}

SphinxSession::~SphinxSession() {
    if (m_started && !m_ended)
        ps_end_utt(m_decoder->ps);
    m_model->Release(m_decoder);
}

int SphinxSession::Write(const char *data, size_t length, int audioStatus, int *endpoint,
                         int *recognition) {
    if (!m_started) {
        if (ps_start_utt(m_decoder->ps) < 0)
            return MSC_ERROR_ENGINE;
        m_started = true;
    }
    if (!m_ended) {
        const short *samples = reinterpret_cast<const short *>(data);
        const size_t count = length / 2;
        if (!m_decoder->settled && m_audio.size() + count <= kKeepSamples)
            m_audio.insert(m_audio.end(), samples, samples + count);
        for (size_t at = 0; at < count && !m_ended; at += kStepSamples) {
            const size_t n = std::min(kStepSamples, count - at);
            if (ps_process_raw(m_decoder->ps, samples + at, n, FALSE, FALSE) < 0) {
                m_ended = true;
                ps_end_utt(m_decoder->ps);
                return MSC_ERROR_ENGINE;
            }
            if (ps_get_in_speech(m_decoder->ps)) {
                m_sawSpeech = true;
                m_silentSamples = 0;
            } else if (m_sawSpeech) {
                m_silentSamples += n;
                if (m_options.endSilenceMs > 0 &&
                    m_silentSamples * 1000 >= m_options.endSilenceMs * kRate) {
                    m_endOfSpeech = true;
                    int rc = Finish();
                    if (rc != 0)
                        return rc;
                }
            }
        }
        if (audioStatus == MSC_AUDIO_LAST && !m_ended) {
            int rc = Finish();
            if (rc != 0)
                return rc;
        }
        if (!m_ended && m_options.progressive)
            QueuePartial();
    }
    *endpoint = m_endOfSpeech ? MSC_EP_AFTER_SPEECH
                              : (m_sawSpeech ? MSC_EP_IN_SPEECH : MSC_EP_LOOKING_FOR_SPEECH);
    *recognition =
        (m_partialPending || !m_results.empty()) ? MSC_REC_RESULT_READY : MSC_REC_INCOMPLETE;
    return 0;
}

void SphinxSession::QueuePartial() {
    const char *hyp = ps_get_hyp(m_decoder->ps, nullptr);
    const std::string text = JoinWords(Words(hyp));
    if (text.empty() || text == m_partial)
        return;
    m_partial = text;
    m_partialPending = true;
}

int SphinxSession::Finish() {
    m_ended = true;
    if (ps_end_utt(m_decoder->ps) < 0)
        return MSC_ERROR_ENGINE;
    std::string hyp;
    if (const char *h = ps_get_hyp(m_decoder->ps, nullptr))
        hyp = h;
    // A decoder's first utterance was heard with a guessed cepstral mean: learn the real one
    // from it and hear it again.
    if (!m_decoder->settled && m_decoder->Settle(m_audio)) {
        if (ps_start_utt(m_decoder->ps) >= 0) {
            ps_process_raw(m_decoder->ps, m_audio.data(), m_audio.size(), FALSE, FALSE);
            ps_end_utt(m_decoder->ps);
            if (const char *h = ps_get_hyp(m_decoder->ps, nullptr))
                hyp = h;
        }
    }
    m_audio.clear();
    m_partialPending = false;
    std::vector<std::string> words = Words(hyp.c_str());
    if (words.empty() && (!m_options.progressive || m_pieces == 0))
        return 0;  // nothing was said
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
    return 0;
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
    *hasText = false;
    if (!m_results.empty()) {
        *text = m_results.front();
        m_results.pop_front();
        *hasText = true;
    } else if (m_partialPending) {
        m_partialPending = false;
        *text = PieceJson(Words(m_partial.c_str()), false);
        *hasText = true;
    }
    if (m_ended && m_results.empty())
        *recognition = MSC_REC_COMPLETE;
    else
        *recognition =
            (m_partialPending || !m_results.empty()) ? MSC_REC_RESULT_READY : MSC_REC_INCOMPLETE;
    return 0;
}

}  // namespace msc
