// The recognizer session over real capture (ALSA's file plug-in) and the speech library with its
// scripted engine: what is sent, fetched, ended and restarted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "AlsaFileSource.h"
#include "msc.h"
#include "output/TypeText.h"
#include "platform/CDialog.h"
#include "platform/CodePage.h"
#include "platform/ProgramDirectory.h"
#include "platform/RecordingKeyboardOutput.h"
#include "shell/AppSettings.h"
#include "shell/ProgramState.h"
#include "shell/QuorvexMessages.h"
#include "speech/RecognitionResult.h"
#include "speech/SpeechRec.h"

namespace {

namespace fs = std::filesystem;

// Stands in for the main dialog: records the hot-key messages posted to it.
class HotKeyWindow : public CDialog {
  public:
    HotKeyWindow() : CDialog(102) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_HOTKEY)
            hotKeys.push_back({wParam, lParam});
        return 0;
    }
    std::vector<std::pair<WPARAM, LPARAM>> hotKeys;
};

std::vector<std::string> Lines(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.find('\r')));
    return lines;
}

bool Contains(const std::vector<std::string> &lines, const std::string &text) {
    for (const auto &l : lines)
        if (l.find(text) != std::string::npos)
            return true;
    return false;
}

class SpeechRecTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::path(::testing::TempDir()) / ("qv-sr-" + std::to_string(getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        SetProgramDirectory(m_dir.string());
        m_source = std::make_unique<qvtest::AlsaFileSource>((m_dir / "alsa").string());
        // Two seconds of "speech": the scripted engine only counts bytes.
        m_source->UseFile(std::vector<int16_t>(32000, 1000));
        auto recording = std::make_unique<RecordingKeyboardOutput>();
        m_typed = recording.get();
        m_previousOutput = SetKeyboardOutput(std::move(recording));
        g_settings = AppSettings{};
        g_mainWnd = &m_window;
        g_previousPiece.clear();
        g_lastTyped.clear();
    }
    void TearDown() override {
        StopRecognition();
        MSPLogout();
        g_mainWnd = nullptr;
        SetKeyboardOutput(std::move(m_previousOutput));
        SetProgramDirectory("");
        unsetenv("MSC_PARAMS");
        unsetenv("QV_CAPTURE_DEVICE");
        m_source.reset();
        fs::remove_all(m_dir);
    }
    void Login(const std::string &script) {
        std::ofstream(m_dir / "talk.script") << script;
        setenv("MSC_PARAMS", "engine = scripted, script = talk.script, journal = journal.txt", 1);
        ASSERT_EQ(
            MSPLogin(nullptr, nullptr, ("appid = 7d3e21a9, work_dir = " + m_dir.string()).c_str()),
            0);
    }
    // Prepares and begins as the controller does.
    void Begin() {
        BuildSessionParams();
        static const SpeechRecNotifier notifier{OnRecognitionResult, OnSpeechBegin, OnSpeechEnd};
        ASSERT_EQ(sr_prepare(g_sessionParams.c_str(), &notifier), 0);
        g_listening = true;
        ASSERT_EQ(sr_begin_listening(), 0);
    }
    // Waits until the recorder thread has ended the session by itself and is done with it: the
    // block whose callback ended it has come back.
    bool WaitForSelfEnd() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        auto done = [] {
            return g_recognizer.state == 0 && g_recognizer.recorder &&
                   recorder_is_idle(g_recognizer.recorder);
        };
        while (!done() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return done();
    }
    std::vector<std::string> Journal() { return Lines(m_dir / "journal.txt"); }
    std::vector<std::string> Log() { return Lines(m_dir / "word.log"); }

    fs::path m_dir;
    std::unique_ptr<qvtest::AlsaFileSource> m_source;
    HotKeyWindow m_window;
    RecordingKeyboardOutput *m_typed = nullptr;
    std::unique_ptr<KeyboardOutput> m_previousOutput;
};

TEST(SessionParams, FollowTheLanguageAndTheModes) {
    struct Row {
        int language, longPress, autoModify, showFlag;
        const char *params;
        const char16_t *name;
    } rows[] = {
        {0, 0, 0, 1,
         "language = zh_cn, accent = mandarin, result_type = plain, result_encoding = gb2312, "
         "ptt = 1",
         u"普通话"},
        {1, 1, 1, 1,
         "language = en_us, accent = mandarin, result_type = plain, result_encoding = gb2312, "
         "ptt = 1",
         u"英语"},
        {3, 1, 0, 1,
         "language = zh_cn, accent = lmz, result_type = json, result_encoding = UTF-8, ptt = 1, "
         "vad_eos=200",
         u"四川话"},
        {11, 0, 1, 1,
         "language = zh_cn, accent = wuhanese, result_type = json, result_encoding = UTF-8, "
         "ptt = 1, dwa = wpgs, vad_eos=200",
         u"武汉话"},
        {13, 0, 0, 0,
         "language = zh_cn, accent = changshanese, result_type = plain, result_encoding = gb2312, "
         "ptt = 0",
         u"长沙话"},
    };
    for (const Row &row : rows) {
        g_settings = AppSettings{};
        g_settings.Language = row.language;
        g_settings.LongPressModel = row.longPress;
        g_settings.AutoModify = row.autoModify;
        g_settings.ShowFlag = row.showFlag;
        BuildSessionParams();
        EXPECT_EQ(g_sessionParams, row.params);
        EXPECT_EQ(g_languageName, row.name);
    }
}

TEST(SessionParams, SampleRateIsReadAfterTheEqualsSign) {
    struct Row {
        const char *params;
        int result;
        uint32_t rate, byteRate;
    } rows[] = {
        {"language = zh_cn, sample_rate = 8000, ptt = 1", 0, 8000, 16000},
        {"sample_rate = 16000", 0, 16000, 32000},
        {"language = zh_cn, ptt = 1", -1, 11025, 22050},
        {"sample_rate", -1, 11025, 22050},
    };
    for (const Row &row : rows) {
        WaveFormat f;
        f.samplesPerSec = 11025;
        f.avgBytesPerSec = 22050;
        EXPECT_EQ(ReadSampleRate(row.params, &f), row.result) << row.params;
        EXPECT_EQ(f.samplesPerSec, row.rate) << row.params;
        EXPECT_EQ(f.avgBytesPerSec, row.byteRate) << row.params;
    }
}

TEST_F(SpeechRecTest, SingleUtteranceCollectsEveryPieceUntilTheRelease) {
    Login("session\n  at 6400 result 今天\n  at 12800 result 天气\n  final result 很好。\n");
    Begin();
    EXPECT_EQ(sr_begin_listening(), -5);  // already started
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    StopRecognition();
    EXPECT_FALSE(g_listening);
    EXPECT_EQ(g_recognizer.recorder, nullptr);
    EXPECT_EQ(std::string(g_resultText), Utf8ToAnsi("今天天气很好。"));
    const auto journal = Journal();
    ASSERT_GE(journal.size(), 4u);
    EXPECT_EQ(journal[1].rfind("begin language = zh_cn, accent = mandarin", 0), 0u);
    EXPECT_EQ(journal[2], "write 6400 1");
    EXPECT_TRUE(Contains(journal, "write 0 4"));
    EXPECT_EQ(journal.back(), "end normal");
    EXPECT_TRUE(m_typed->Events().empty());
}

TEST_F(SpeechRecTest, ThePauseEndsTheSessionAndRestartsListening) {
    g_settings.LongPressModel = 1;
    Login(
        "session\n"
        "  at 6400 result {\"sn\":1,\"ls\":false,\"ws\":[{\"cw\":[{\"w\":\"今天\"}]}]}\n"
        "  at 12800 eos\n"
        "  final result {\"sn\":2,\"ls\":true,\"ws\":[{\"cw\":[{\"w\":\"好\"}]}]}\n");
    Begin();
    ASSERT_TRUE(WaitForSelfEnd());
    QApplication::processEvents();
    ASSERT_EQ(m_window.hotKeys.size(), 2u);
    EXPECT_EQ(m_window.hotKeys[0], std::make_pair(WPARAM{HOTKEY_VOICE_UP}, kVoiceUpLParam));
    EXPECT_EQ(m_window.hotKeys[1], std::make_pair(WPARAM{HOTKEY_VOICE_DOWN}, kVoiceDownLParam));
    EXPECT_EQ(m_typed->Screen(), u"今天好");
    EXPECT_EQ(sr_stop_listening(), 0);  // "Not started or already stopped."
    StopRecognition();
    const auto journal = Journal();
    // No audio after the end of speech, and the session was ended once.
    int writes = 0, ends = 0;
    for (const auto &line : journal) {
        writes += line.rfind("write", 0) == 0;
        ends += line.rfind("end", 0) == 0;
    }
    EXPECT_EQ(writes, 2);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(journal.back(), "end VAD Normal");
    EXPECT_TRUE(Contains(Log(), "\tspeech_end code:0"));
}

// Capture from a file is as fast as it can be: the end of speech in the very first block still
// ends the session and restarts listening.
TEST_F(SpeechRecTest, TheFirstBlockCanEndTheSession) {
    g_settings.LongPressModel = 1;
    Login("session\n  at 6400 eos\n");
    Begin();
    ASSERT_TRUE(WaitForSelfEnd());
    QApplication::processEvents();
    EXPECT_EQ(m_window.hotKeys.size(), 2u);
    EXPECT_TRUE(Contains(Log(), "\tspeech_end code:0"));
}

TEST_F(SpeechRecTest, AnErrorWhileAudioFlowsEndsTheSession) {
    Login("session\n  at 12800 error 10115\n");
    Begin();
    ASSERT_TRUE(WaitForSelfEnd());
    StopRecognition();
    EXPECT_EQ(Journal().back(), "end err");
    EXPECT_TRUE(Contains(Log(), "\tspeech_end code:10115"));
    QApplication::processEvents();
    EXPECT_TRUE(m_window.hotKeys.empty());  // no restart after an error
}

TEST_F(SpeechRecTest, FailedFinalResultsAreLoggedByTheStopWorker) {
    Login("session\n  final error 10115\n");
    Begin();
    StopRecognition();
    EXPECT_TRUE(Contains(Log(), "\tsr_stop_listening err:10115"));
    EXPECT_EQ(Journal().back(), "end err");
}

TEST_F(SpeechRecTest, ALanguageTheEngineRefusesFailsTheBegin) {
    Login("session\n  begin error 10108\n");
    BuildSessionParams();
    static const SpeechRecNotifier notifier{OnRecognitionResult, OnSpeechBegin, OnSpeechEnd};
    ASSERT_EQ(sr_prepare(g_sessionParams.c_str(), &notifier), 0);
    EXPECT_EQ(sr_begin_listening(), 10108);
    StopRecognition();
    EXPECT_EQ(g_recognizer.recorder, nullptr);
}

TEST_F(SpeechRecTest, NoSoundInputDevice) {
    setenv("QV_CAPTURE_DEVICE", "no_such_capture_device", 1);
    EXPECT_EQ(sr_prepare(nullptr, nullptr), -1);
}

TEST_F(SpeechRecTest, ASampleRateInTheParametersSizesTheBlocks) {
    Login("session\n");
    ASSERT_EQ(sr_prepare("language = zh_cn, sample_rate = 8000, result_type = plain", nullptr), 0);
    ASSERT_NE(g_recognizer.recorder, nullptr);
    ASSERT_EQ(g_recognizer.recorder->bufferCount, 4u);
    EXPECT_EQ(g_recognizer.recorder->buffers[0].bufferLength, 3200u);
    sr_release();
}

}  // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
