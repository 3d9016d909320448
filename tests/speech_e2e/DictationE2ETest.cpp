// Dictation end to end: the quorvex program on a private X server hears espeak-ng through ALSA's
// file plug-in (fed in real time like a microphone), recognises it offline, and types the words
// into a Qt text field of this test that has the focus. The voice key is pressed through XTest.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTextEdit>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "AlsaFileSource.h"
#include "WordErrors.h"
#include "XvfbDisplay.h"

// Last: Xlib's macros (Bool, Status, None) clash with the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char *kEnglishModel = "/usr/share/pocketsphinx/model/en-us";
// The kernel's F15 and F16 arrive as these keycodes (XF86Launch6/7 on standard keymaps).
constexpr int kVoiceDownKey = 193;
constexpr int kVoiceUpKey = 194;

int g_grabError = 0;
int CatchGrabError(Display *, XErrorEvent *e) {
    g_grabError = e->error_code;
    return 0;
}

class DictationE2ETest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(kEnglishModel))
            GTEST_SKIP() << "the US English model is not installed";
        m_dir = fs::temp_directory_path() / ("qv-dictation-e2e-" + std::to_string(getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "bin" / "config");
        fs::create_directories(m_dir / "runtime");
        fs::permissions(m_dir / "runtime", fs::perms::owner_all);
        fs::create_directories(m_dir / "home");
        fs::copy_file(QUORVEX_PATH, m_dir / "bin" / "quorvex");
        fs::create_directory_symlink(QUORVEX_LIB_DIR, m_dir / "lib");
        m_audio = std::make_unique<qvtest::AlsaFileSource>((m_dir / "alsa").string());
        m_audio->UseLiveFifo();
        m_x = XOpenDisplay(nullptr);
        ASSERT_NE(m_x, nullptr);

        m_field = std::make_unique<QTextEdit>();
        m_field->setAcceptRichText(false);
        m_field->setWindowTitle("dictation target");
        m_field->resize(900, 300);
        m_field->show();
    }
    void TearDown() override {
        if (m_program > 0) {
            kill(m_program, SIGTERM);
            int status;
            for (int i = 0; i < 200 && waitpid(m_program, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            kill(m_program, SIGKILL);
            waitpid(m_program, &status, 0);
        }
        m_field.reset();
        if (m_x)
            XCloseDisplay(m_x);
        m_audio.reset();
        fs::remove_all(m_dir);
    }

    void WriteSettings(int language, int longPress, int autoModify) {
        std::ofstream(m_dir / "bin" / "config" / "config.ini")
            << "[Setting]\r\nAutoUpdateType=1\r\nAutoRun=0\r\nClosePromp=1\r\nShowFlag=1\r\n"
            << "Language=" << language << "\r\nLongPressModel=" << longPress
            << "\r\nAutoModify=" << autoModify << "\r\n";
    }

    // Starts the program; ready once it holds the voice key's grab.
    void Launch(const std::string &mscParams) {
        m_program = fork();
        if (m_program == 0) {
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            setenv("XDG_RUNTIME_DIR", (m_dir / "runtime").c_str(), 1);
            setenv("XDG_CONFIG_HOME", (m_dir / "home").c_str(), 1);
            setenv("MSC_PARAMS", mscParams.c_str(), 1);
            std::string program = (m_dir / "bin" / "quorvex").string();
            char connected[] = "--assume-connected";
            char *argv[] = {program.data(), connected, nullptr};
            execv(program.c_str(), argv);
            _exit(127);
        }
        ASSERT_GT(m_program, 0);
        const auto until = Clock::now() + std::chrono::seconds(20);
        XErrorHandler previous = XSetErrorHandler(CatchGrabError);
        bool grabbed = false;
        while (!grabbed && Clock::now() < until) {
            g_grabError = 0;
            Window root = DefaultRootWindow(m_x);
            XGrabKey(m_x, kVoiceDownKey, 0, root, True, GrabModeAsync, GrabModeAsync);
            XSync(m_x, False);
            grabbed = g_grabError != 0;  // BadAccess: the program has it
            if (!grabbed) {
                XUngrabKey(m_x, kVoiceDownKey, 0, root);
                XSync(m_x, False);
                Pump(std::chrono::milliseconds(50));
            }
        }
        XSetErrorHandler(previous);
        ASSERT_TRUE(grabbed) << "the program did not take the voice key";
        // Give the speech library time to load its decoder, then take the focus back.
        Pump(std::chrono::milliseconds(1500));
        Focus();
    }

    void Focus() {
        const auto until = Clock::now() + std::chrono::seconds(10);
        while (!m_field->hasFocus() && Clock::now() < until) {
            m_field->activateWindow();
            m_field->setFocus();
            Pump(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(m_field->hasFocus());
    }

    void Tap(int keycode) {
        XTestFakeKeyEvent(m_x, keycode, True, CurrentTime);
        XTestFakeKeyEvent(m_x, keycode, False, CurrentTime);
        XSync(m_x, False);
    }

    static void Pump(std::chrono::milliseconds d) {
        const auto until = Clock::now() + d;
        while (Clock::now() < until)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    // Plays `samples` in real time while the field handles its events.
    void Say(const std::vector<int16_t> &samples) {
        m_audio->Queue(samples);
        while (m_audio->Pending())
            Pump(std::chrono::milliseconds(20));
    }

    // Waits until the field's text has not changed for `quiet`, up to `limit`.
    QString Settled(std::chrono::milliseconds quiet, std::chrono::seconds limit) {
        QString last = m_field->toPlainText();
        auto changed = Clock::now();
        const auto until = Clock::now() + limit;
        while (Clock::now() < until && Clock::now() - changed < quiet) {
            Pump(std::chrono::milliseconds(20));
            if (m_field->toPlainText() != last) {
                last = m_field->toPlainText();
                changed = Clock::now();
            }
        }
        return last;
    }

    fs::path m_dir;
    std::unique_ptr<qvtest::AlsaFileSource> m_audio;
    std::unique_ptr<QTextEdit> m_field;
    Display *m_x = nullptr;
    pid_t m_program = -1;
};

TEST_F(DictationE2ETest, SingleUtteranceIsTypedAtTheRelease) {
    const std::string first = "the weather is nice today";
    const std::string second = "we are going to the station tomorrow morning";
    const auto clip1 = qvtest::Speak(first, m_dir.string());
    const auto clip2 = qvtest::Speak(second, m_dir.string());
    ASSERT_FALSE(clip1.empty());
    WriteSettings(1, 0, 0);  // English
    Launch("engine = sphinx");

    // Twice: the second utterance also checks that texts follow each other with a blank.
    for (const auto *clip : {&clip1, &clip2}) {
        const QString before = m_field->toPlainText();
        Tap(kVoiceDownKey);
        Pump(std::chrono::milliseconds(300));
        Say(*clip);
        Pump(std::chrono::milliseconds(300));
        EXPECT_EQ(m_field->toPlainText(), before) << "nothing is typed before the release";
        Tap(kVoiceUpKey);
        Settled(std::chrono::milliseconds(1500), std::chrono::seconds(20));
    }
    const std::string typed = m_field->toPlainText().toStdString();
    EXPECT_LE(qvtest::WordErrorRate(first + " " + second, typed), 0.35) << typed;
    EXPECT_NE(typed.find("weather"), std::string::npos) << typed;
    EXPECT_NE(typed.find("station"), std::string::npos) << typed;
}

TEST_F(DictationE2ETest, ContinuousDictationTypesEachPhraseAndCorrectsItself) {
    const std::string first = "i would like a cup of coffee";
    const std::string second = "the weather is nice today";
    const auto clip1 = qvtest::Speak(first, m_dir.string());
    const auto clip2 = qvtest::Speak(second, m_dir.string());
    ASSERT_FALSE(clip1.empty());
    // Mandarin with corrections, heard with the English model (no Mandarin model is packaged).
    WriteSettings(0, 1, 1);
    Launch(std::string("engine = sphinx, model.zh_cn = ") + kEnglishModel);

    Tap(kVoiceDownKey);
    Pump(std::chrono::milliseconds(300));
    Say(clip1);
    // The pause ends the phrase: its text arrives while the key is still held.
    const QString afterFirst = Settled(std::chrono::milliseconds(1200), std::chrono::seconds(20));
    EXPECT_FALSE(afterFirst.isEmpty()) << "the first phrase is typed at its pause";
    Say(clip2);
    Settled(std::chrono::milliseconds(1200), std::chrono::seconds(20));
    Tap(kVoiceUpKey);
    const std::string typed =
        Settled(std::chrono::milliseconds(1500), std::chrono::seconds(20)).toStdString();
    EXPECT_LE(qvtest::WordErrorRate(first + " " + second, typed), 0.35) << typed;
    EXPECT_NE(typed.find("coffee"), std::string::npos) << typed;
    EXPECT_NE(typed.find("weather"), std::string::npos) << typed;
}

}  // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qvtest::XvfbDisplay display;
    if (!display.Ok()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return 1;
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
