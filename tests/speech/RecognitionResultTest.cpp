// The result callbacks with scripted pieces: plain pieces collected, JSON pieces typed with their
// corrections, through the recording keyboard back-end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "output/TypeText.h"
#include "platform/CodePage.h"
#include "platform/ProgramDirectory.h"
#include "platform/RecordingKeyboardOutput.h"
#include "shell/AppSettings.h"
#include "speech/RecognitionResult.h"

namespace {

// A JSON piece with one candidate per word (two where `second` is given for that word).
std::string Piece(int sn, const char *pgs, bool ls, std::vector<std::string> words,
                  std::vector<std::string> second = {}) {
    std::string ws;
    for (size_t i = 0; i < words.size(); ++i) {
        std::string cw = "{\"w\":\"" + words[i] + "\",\"sc\":0}";
        if (i < second.size() && !second[i].empty())
            cw += ",{\"w\":\"" + second[i] + "\",\"sc\":0}";
        ws += (i ? "," : "") + std::string("{\"bg\":0,\"cw\":[") + cw + "]}";
    }
    std::string json = "{\"sn\":" + std::to_string(sn) + ",\"ls\":" + (ls ? "true" : "false") +
                       ",\"bg\":0,\"ed\":0,\"ws\":[" + ws + "]";
    if (pgs)
        json += std::string(",\"pgs\":\"") + pgs + "\"";
    return json + "}";
}

class RecognitionResultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto recording = std::make_unique<RecordingKeyboardOutput>();
        m_output = recording.get();
        m_previous = SetKeyboardOutput(std::move(recording));
        m_dir = ::testing::TempDir() + "/qv-result-" + std::to_string(getpid());
        std::filesystem::create_directories(m_dir);
        SetProgramDirectory(m_dir);
        g_settings = AppSettings{};
        g_lastTyped.clear();
        g_previousPiece.clear();
        g_replaceCount = 0;
        OnSpeechBegin();
    }
    void TearDown() override {
        SetKeyboardOutput(std::move(m_previous));
        SetProgramDirectory("");
        std::filesystem::remove_all(m_dir);
    }
    void Continuous(bool autoModify) {
        g_settings.Language = 0;
        g_settings.LongPressModel = 1;
        g_settings.AutoModify = autoModify;
    }
    std::string Log() {
        std::ifstream in(m_dir + "/word.log", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    RecordingKeyboardOutput *m_output = nullptr;
    std::unique_ptr<KeyboardOutput> m_previous;
    std::string m_dir;
};

TEST_F(RecognitionResultTest, PlainPiecesAreAppendedInOrder) {
    for (const char *piece : {"今天", "天气", "很好。"})
        OnRecognitionResult(Utf8ToAnsi(piece).c_str(), false);
    EXPECT_EQ(std::string(g_resultText), Utf8ToAnsi("今天天气很好。"));
    EXPECT_TRUE(m_output->Events().empty());  // nothing is typed before the release
}

TEST_F(RecognitionResultTest, APlainPieceLongerThan8192BytesIsAppendedWhole) {
    OnRecognitionResult("start ", false);
    const std::string big(9000, 'x');
    OnRecognitionResult(big.c_str(), false);
    OnRecognitionResult(nullptr, false);  // ignored
    EXPECT_EQ(std::string(g_resultText), "start " + big);
    EXPECT_GE(g_resultCapacity, 9007);
    EXPECT_EQ(g_resultCapacity % 4096, 0);
}

TEST_F(RecognitionResultTest, EnglishIsASingleUtteranceWhateverTheModes) {
    g_settings.Language = 1;
    g_settings.AutoModify = 1;
    OnRecognitionResult("hello world", true);
    EXPECT_EQ(std::string(g_resultText), "hello world");
}

TEST_F(RecognitionResultTest, ContinuousPiecesAreTypedAsTheyCome) {
    Continuous(false);
    OnRecognitionResult(Piece(1, nullptr, false, {"今天", "天气"}).c_str(), false);
    OnRecognitionResult(Piece(2, "rpl", true, {"很好"}).c_str(), true);  // rpl is not read
    EXPECT_EQ(m_output->Screen(), u"今天天气很好");
    EXPECT_EQ(g_replaceCount, 0);
    EXPECT_EQ(std::string(g_resultText), "");  // continuous pieces are not collected
}

TEST_F(RecognitionResultTest, ACorrectedPieceReplacesWhatWasTyped) {
    Continuous(true);
    OnRecognitionResult(Piece(1, "apd", false, {"今天", "天汽"}).c_str(), false);
    EXPECT_EQ(g_replaceCount, 0);
    EXPECT_EQ(m_output->Screen(), u"今天天汽");
    OnRecognitionResult(Piece(2, "rpl", false, {"今天", "天气", "很好"}).c_str(), false);
    EXPECT_EQ(m_output->Screen(), u"今天天气很好");
    EXPECT_EQ(g_replaceCount, 1);  // TypeText pressed one Backspace
    OnRecognitionResult(Piece(3, "apd", true, {"。"}).c_str(), true);
    EXPECT_EQ(m_output->Screen(), u"今天天气很好。");
    EXPECT_EQ(g_replaceCount, 0);  // the last piece leaves no replacement pending
}

TEST_F(RecognitionResultTest, TheFirstPieceOfASessionReplacesNothing) {
    Continuous(true);
    g_previousPiece = Utf8ToAnsi("上一句");
    OnRecognitionResult(Piece(1, "rpl", false, {"新的"}).c_str(), false);
    EXPECT_EQ(g_replaceCount, 0);
    EXPECT_EQ(g_previousPiece, Utf8ToAnsi("新的"));
}

TEST_F(RecognitionResultTest, AOneLetterPieceIsStillReplaced) {
    Continuous(true);
    OnRecognitionResult(Piece(1, "apd", false, {"a"}).c_str(), false);
    OnRecognitionResult(Piece(2, "rpl", false, {"a ", "cup"}).c_str(), false);
    EXPECT_EQ(m_output->Screen(), u"a cup");
}

TEST_F(RecognitionResultTest, EveryCandidateOfAWordIsTyped) {
    Continuous(false);
    OnRecognitionResult(Piece(1, nullptr, true, {"天气", "好"}, {"天汽", ""}).c_str(), true);
    EXPECT_EQ(m_output->Screen(), u"天气天汽好");
}

TEST_F(RecognitionResultTest, MalformedPiecesAreLoggedOrSkipped) {
    Continuous(true);
    OnRecognitionResult("{\"ws\":[", false);
    EXPECT_NE(Log().find("\tonresult json err\r\r\n"), std::string::npos);
    // Wrong types add nothing but do not stop the piece.
    OnRecognitionResult(
        "{\"sn\":\"x\",\"ls\":[1],\"pgs\":7,\"ws\":[{\"cw\":5},{\"cw\":[{\"w\":3},{\"w\":\"好\"}]},"
        "7,{\"cw\":{\"a\":{\"w\":\"的\"}}}]}",
        false);
    EXPECT_EQ(m_output->Screen(), u"好的");
    EXPECT_EQ(g_replaceCount, 0);
}

TEST_F(RecognitionResultTest, SpeechEndIsLogged) {
    OnSpeechEnd(10115);
    EXPECT_NE(Log().find("\tspeech_end code:10115\r\r\n"), std::string::npos);
}

}  // namespace
