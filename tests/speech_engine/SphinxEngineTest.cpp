// The offline engine through the speech library's C interface, hearing speech made by espeak-ng.
#include <gtest/gtest.h>
#include <json/json.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "AlsaFileSource.h"
#include "WordErrors.h"
#include "msc.h"

namespace {

constexpr const char *kEnglishModel = "/usr/share/pocketsphinx/model/en-us";
constexpr const char *kPlainEnglish =
    "language = en_us, accent = mandarin, result_type = plain, result_encoding = gb2312, ptt = 1";
constexpr const char *kContinuous =
    "language = zh_cn, accent = mandarin, result_type = json, result_encoding = UTF-8, ptt = 0, "
    "dwa = wpgs, vad_eos=200";

struct SessionRun {
    std::vector<std::string> results;
    bool endOfSpeech = false;
    size_t bytesWritten = 0;
    int error = 0;
};

// Streams `audio` in 200 ms blocks as the program does, polling after each block, until the end
// of speech or the end of the audio. The engine decodes behind the writes, so with
// `awaitEndOfSpeech` a little more silence follows until it reports the end of speech (at most
// 30 s); otherwise the last block follows. Then it polls until complete.
SessionRun Stream(const char *params, const std::vector<int16_t> &audio,
                  bool awaitEndOfSpeech = false) {
    SessionRun run;
    const char *id = QISRSessionBegin(nullptr, params, &run.error);
    if (!id)
        return run;
    int ep = 0, rec = 0, err = 0;
    auto poll = [&] {
        if (rec == MSC_REC_RESULT_READY)
            if (const char *t = QISRGetResult(id, &rec, 0, &err))
                run.results.push_back(t);
    };
    const char *bytes = reinterpret_cast<const char *>(audio.data());
    const size_t total = audio.size() * 2;
    int status = MSC_AUDIO_FIRST;
    for (size_t at = 0; at < total && ep != MSC_EP_AFTER_SPEECH; at += 6400) {
        const unsigned n = static_cast<unsigned>(std::min<size_t>(6400, total - at));
        run.error = QISRAudioWrite(id, bytes + at, n, status, &ep, &rec);
        if (run.error)
            return run;
        status = MSC_AUDIO_CONTINUE;
        run.bytesWritten += n;
        poll();
    }
    const std::vector<int16_t> silence(320, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (awaitEndOfSpeech && ep != MSC_EP_AFTER_SPEECH &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        run.error = QISRAudioWrite(id, silence.data(), 640, status, &ep, &rec);
        if (run.error)
            return run;
        poll();
    }
    run.endOfSpeech = ep == MSC_EP_AFTER_SPEECH;
    if (!run.endOfSpeech)
        run.error = QISRAudioWrite(id, nullptr, 0, MSC_AUDIO_LAST, &ep, &rec);
    while (run.error == 0 && rec != MSC_REC_COMPLETE) {
        if (const char *t = QISRGetResult(id, &rec, 0, &err))
            run.results.push_back(t);
        run.error = err;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    QISRSessionEnd(id, "normal");
    return run;
}

class SphinxEngineTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = ::testing::TempDir() + "/qv-sphinx-" + std::to_string(getpid());
        std::filesystem::create_directories(s_dir);
        s_weather = qvtest::Speak("the weather is nice today", s_dir);
        s_station = qvtest::Speak("we are going to the station tomorrow morning", s_dir);
    }
    void SetUp() override {
        if (!std::filesystem::exists(kEnglishModel))
            GTEST_SKIP() << "the US English model is not installed";
        ASSERT_FALSE(s_weather.empty()) << "espeak-ng and sox make the speech";
        // A Mandarin session heard with the English model: the way to exercise continuous
        // dictation where no Mandarin model is installed.
        setenv("MSC_PARAMS",
               (std::string("engine = sphinx, model.zh_cn = ") + kEnglishModel).c_str(), 1);
        ASSERT_EQ(MSPLogin(nullptr, nullptr, ("appid = 7d3e21a9, work_dir = " + s_dir).c_str()), 0);
    }
    void TearDown() override {
        MSPLogout();
        unsetenv("MSC_PARAMS");
    }
    static std::vector<int16_t> WithSilence(std::vector<int16_t> audio, int ms) {
        audio.resize(audio.size() + 16 * ms, 0);
        return audio;
    }

    static inline std::string s_dir;
    static inline std::vector<int16_t> s_weather, s_station;
};

TEST_F(SphinxEngineTest, PlainEnglishIsRecognisedAtTheLastBlock) {
    // Twice: the first utterance of a fresh decoder settles its normalisation.
    for (int round = 0; round < 2; ++round) {
        SessionRun run = Stream(kPlainEnglish, s_weather);
        ASSERT_EQ(run.error, 0);
        EXPECT_FALSE(run.endOfSpeech);  // 300 ms of silence is less than the default 2 s
        ASSERT_EQ(run.results.size(), 1u);
        const std::string &text = run.results[0];
        EXPECT_LE(qvtest::WordErrorRate("the weather is nice today", text), 0.4) << text;
        EXPECT_EQ(text.substr(text.size() - 2), ". ") << "full stop, then a blank for the next";
    }
}

TEST_F(SphinxEngineTest, ContinuousSessionEndsAtThePauseWithReplacingPieces) {
    // The pause after the speech ends the session: no last block is needed.
    SessionRun run = Stream(kContinuous, WithSilence(s_station, 1000), true);
    ASSERT_EQ(run.error, 0);
    EXPECT_TRUE(run.endOfSpeech);
    ASSERT_GE(run.results.size(), 2u);
    // Typed as the program types them: a "rpl" piece replaces the previous piece.
    std::string screen, previous;
    for (size_t i = 0; i < run.results.size(); ++i) {
        Json::Value piece;
        ASSERT_TRUE(Json::Reader().parse(run.results[i], piece)) << run.results[i];
        EXPECT_EQ(piece["sn"].asInt(), static_cast<int>(i + 1));
        EXPECT_EQ(piece["ls"].asBool(), i + 1 == run.results.size());
        EXPECT_EQ(piece["pgs"].asString(), i == 0 ? "apd" : "rpl");
        std::string text;
        for (const auto &w : piece["ws"])
            for (const auto &c : w["cw"])
                text += c["w"].asString();
        if (piece["pgs"].asString() == "rpl")
            screen.resize(screen.size() - previous.size());
        screen += text;
        previous = text;
    }
    EXPECT_LE(qvtest::WordErrorRate("we are going to the station tomorrow morning", screen), 0.4)
        << screen;
}

TEST_F(SphinxEngineTest, PlainAndJsonSessionsTakeTurnsOnOneDecoder) {
    // A plain session decodes without the flat-lexicon pass, a JSON one with it; both run on the
    // one decoder of the model, in turn, over a long utterance (the pass goes over all of it).
    const char *json =
        "language = en_us, accent = mandarin, result_type = json, result_encoding = UTF-8, "
        "ptt = 0, vad_eos = 0";
    std::vector<int16_t> both = WithSilence(s_weather, 1000);
    both.insert(both.end(), s_station.begin(), s_station.end());
    const std::string said =
        "the weather is nice today we are going to the station tomorrow morning";
    for (const char *params : {kPlainEnglish, json, kPlainEnglish, json}) {
        SCOPED_TRACE(params);
        SessionRun run = Stream(params, both);
        ASSERT_EQ(run.error, 0);
        ASSERT_FALSE(run.results.empty());
        std::string text = run.results.back();
        if (params == json) {
            Json::Value piece;
            ASSERT_TRUE(Json::Reader().parse(text, piece)) << text;
            text.clear();
            for (const auto &w : piece["ws"])
                text += w["cw"][0]["w"].asString();
        }
        EXPECT_LE(qvtest::WordErrorRate(said, text), 0.4) << text;
    }
}

TEST_F(SphinxEngineTest, ALanguageWithoutAModelIsAnError) {
    int error = 0;
    // zh_cn has a model here (the test's mapping), so ask for a language that has none.
    EXPECT_EQ(QISRSessionBegin(nullptr, "language = fr_fr, result_type = plain", &error), nullptr);
    EXPECT_EQ(error, MSC_ERROR_NO_LANGUAGE);
}

TEST_F(SphinxEngineTest, SilenceGivesNoText) {
    SessionRun run = Stream(kPlainEnglish, std::vector<int16_t>(16000, 0));
    ASSERT_EQ(run.error, 0);
    EXPECT_TRUE(run.results.empty());
}

}  // namespace
