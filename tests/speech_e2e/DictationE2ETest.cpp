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
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char *kEnglishModel = "/usr/share/pocketsphinx/model/en-us";
// The kernel's F15 and F16 arrive as these keycodes (XF86Launch6/7 on standard keymaps).
constexpr int kVoiceDownKey = 193;
constexpr int kVoiceUpKey = 194;

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

    // Starts the program and waits until it is up.
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
        // Started once one of its windows is there (the mini bar comes after the hot keys and the
        // login); then the speech library gets time to load its decoder.
        const auto until = Clock::now() + std::chrono::seconds(20);
        while (!HasWindowOf(m_program) && Clock::now() < until)
            Pump(std::chrono::milliseconds(50));
        std::ifstream log(m_dir / "bin" / "word.log", std::ios::binary);
        int status = 0;
        const bool exited = waitpid(m_program, &status, WNOHANG) == m_program;
        ASSERT_TRUE(!exited && HasWindowOf(m_program))
            << "the program did not start" << (exited ? " (it ended)" : "")
            << "; word.log: " << log.rdbuf();
        Pump(std::chrono::milliseconds(4000));
        Focus();
    }

    // Whether a top-level window carries _NET_WM_PID `pid`.
    bool HasWindowOf(pid_t pid) {
        const Atom pidAtom = XInternAtom(m_x, "_NET_WM_PID", False);
        Window root, parent, *children = nullptr;
        unsigned int count = 0;
        bool found = false;
        if (!XQueryTree(m_x, DefaultRootWindow(m_x), &root, &parent, &children, &count))
            return false;
        for (unsigned int i = 0; i < count && !found; ++i) {
            Atom type;
            int format;
            unsigned long n, after;
            unsigned char *data = nullptr;
            if (XGetWindowProperty(m_x, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type,
                                   &format, &n, &after, &data) == Success &&
                data && n == 1)
                found = static_cast<pid_t>(*reinterpret_cast<unsigned long *>(data)) == pid;
            if (data)
                XFree(data);
        }
        if (children)
            XFree(children);
        return found;
    }

    std::string Log() {
        std::ifstream in(m_dir / "bin" / "word.log", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
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
        // Not spinning: the program under test needs the processors.
        while (Clock::now() < until) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    // How many sessions have ended so far (the log's "speech_end" lines).
    int SessionsEnded() {
        const std::string log = Log();
        int n = 0;
        for (size_t at = log.find("speech_end"); at != std::string::npos;
             at = log.find("speech_end", at + 1))
            ++n;
        return n;
    }

    // Waits until `ended` sessions have ended and a session records, as a person waits for the
    // voice key's light before speaking. (Until the earlier session has ended, its own recorder
    // could pass for the new one's.)
    bool WaitForRecording(int ended = 0) {
        const auto until = Clock::now() + std::chrono::seconds(60);
        while (SessionsEnded() < ended && Clock::now() < until)
            Pump(std::chrono::milliseconds(20));
        while (Clock::now() < until) {
            if (m_audio->WaitForReader(0.25))
                return true;
            Pump(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Plays `samples` in real time while the field handles its events.
    void Say(const std::vector<int16_t> &samples) {
        m_audio->Queue(samples);
        while (m_audio->Pending())
            Pump(std::chrono::milliseconds(20));
    }

    // Waits (up to a minute: the decoder may run behind on a busy machine) until the field's text
    // differs from `before`, then until it has not changed for a second and a half.
    QString Typed(const QString &before) {
        const auto until = Clock::now() + std::chrono::seconds(60);
        while (m_field->toPlainText() == before && Clock::now() < until)
            Pump(std::chrono::milliseconds(20));
        QString last = m_field->toPlainText();
        auto changed = Clock::now();
        while (Clock::now() < until && Clock::now() - changed < std::chrono::milliseconds(1500)) {
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
        ASSERT_TRUE(WaitForRecording());
        Say(*clip);
        Pump(std::chrono::milliseconds(300));
        EXPECT_EQ(m_field->toPlainText(), before) << "nothing is typed before the release";
        Tap(kVoiceUpKey);
        Typed(before);
    }
    const std::string typed = m_field->toPlainText().toStdString();
    EXPECT_LE(qvtest::WordErrorRate(first + " " + second, typed), 0.35) << typed << "\nword.log:\n"
                                                                        << Log();
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
    ASSERT_TRUE(WaitForRecording());
    Say(clip1);
    // The pause ends the phrase: its text arrives while the key is still held.
    const QString afterFirst = Typed(QString());
    EXPECT_FALSE(afterFirst.isEmpty()) << "the first phrase is typed at its pause";
    ASSERT_TRUE(WaitForRecording(1));  // the next phrase's session has started
    Say(clip2);
    Typed(afterFirst);
    // Released while the second phrase may still be ending: listening stops for good.
    Tap(kVoiceUpKey);
    Pump(std::chrono::milliseconds(1500));
    EXPECT_FALSE(m_audio->WaitForReader(2.0)) << "nothing records once the key is up";
    const std::string typed = m_field->toPlainText().toStdString();
    EXPECT_LE(qvtest::WordErrorRate(first + " " + second, typed), 0.35) << typed << "\nword.log:\n"
                                                                        << Log();
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
