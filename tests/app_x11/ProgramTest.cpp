// The quorvex program itself on the X server: start-up from a program directory of its own, the
// voice key through XTest, a second copy, a failed login, and ending by signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "AlsaFileSource.h"
#include "XClient.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("quorvex-x11-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        // A runnable tree: the program with its data beside it, its libraries one level up.
        fs::create_directories(dir_ / "bin" / "config");
        fs::create_directories(dir_ / "runtime");
        fs::permissions(dir_ / "runtime", fs::perms::owner_all);
        fs::create_directories(dir_ / "home");
        fs::copy_file(QUORVEX_PATH, dir_ / "bin" / "quorvex");
        fs::create_directory_symlink(QUORVEX_LIB_DIR, dir_ / "lib");
        std::ofstream(dir_ / "script.txt") << "loop\nsession\n final result 你好\n";
        // The default capture device of the programs started here reads a second of silence.
        audio_ = std::make_unique<qvtest::AlsaFileSource>((dir_ / "alsa").string());
        audio_->UseFile(std::vector<int16_t>(16000, 0));
    }
    void TearDown() override {
        for (pid_t pid : children_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        fs::remove_all(dir_);
    }

    // Starts the program on the test's X server, or with `display` as its DISPLAY ("": unset,
    // with Qt's platform left to its default).
    pid_t Launch(const std::string &mscParams, std::vector<std::string> args = {},
                 const char *display = nullptr) {
        pid_t pid = fork();
        if (pid == 0) {
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            if (display && !*display) {
                unsetenv("DISPLAY");
                unsetenv("QT_QPA_PLATFORM");
            } else if (display) {
                setenv("DISPLAY", display, 1);
            }
            setenv("XDG_RUNTIME_DIR", (dir_ / "runtime").c_str(), 1);
            setenv("XDG_CONFIG_HOME", (dir_ / "home").c_str(), 1);
            setenv("MSC_PARAMS", mscParams.c_str(), 1);
            std::string program = (dir_ / "bin" / "quorvex").string();
            std::vector<char *> argv{program.data()};
            for (std::string &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            // The program must find its directory by itself, wherever it is started from.
            chdir("/");
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        children_.push_back(pid);
        return pid;
    }

    std::string Scripted() {
        return "engine = scripted, script = " + (dir_ / "script.txt").string() +
               ", journal = " + (dir_ / "journal.txt").string();
    }

    std::string Journal() { return ReadFile(dir_ / "journal.txt"); }

    // Waits until the journal holds `text`.
    bool WaitForJournal(const std::string &text, double seconds = 10) {
        auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        while (std::chrono::steady_clock::now() < end) {
            if (Journal().find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // The exit status of a child, waiting up to `seconds`; -1 if it is still running.
    int WaitExit(pid_t pid, double seconds = 10) {
        auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        do {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                children_.erase(std::remove(children_.begin(), children_.end(), pid),
                                children_.end());
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < end);
        return -1;
    }

    fs::path dir_;
    std::vector<pid_t> children_;
    std::unique_ptr<qvtest::AlsaFileSource> audio_;
    XClient x_;
};

TEST_F(ProgramTest, VoiceKeySecondCopyAndEnd) {
    pid_t first = Launch(Scripted(), {"--assume-connected"});
    ASSERT_TRUE(WaitForJournal("login appid=7d3e21a9\n")) << Journal();

    // The voice key: F15 down, F16 up, on the kernel's keycodes.
    x_.Tap(193);
    ASSERT_TRUE(WaitForJournal("\nbegin ")) << Journal();
    x_.Tap(194);
    ASSERT_TRUE(WaitForJournal("end normal\n")) << Journal();
    EXPECT_NE(Journal().find("begin language = zh_cn, accent = mandarin, result_type = plain, "
                             "result_encoding = gb2312, ptt = 1\nwrite 6400 1\n"),
              std::string::npos)
        << Journal();
    EXPECT_NE(Journal().find("write 0 4\nresult 你好\nend normal\n"), std::string::npos)
        << Journal();

    // A second copy warns and ends; the first goes on.
    pid_t second = Launch(Scripted());
    Window warning = x_.WaitForWindow("Warning", 10);
    ASSERT_NE(warning, 0u) << "no warning box";
    x_.CloseWindow(warning);
    EXPECT_EQ(WaitExit(second), 0);
    EXPECT_EQ(kill(first, 0), 0) << "the first copy still runs";
    EXPECT_EQ(Journal().find("login", 10), std::string::npos) << "the second copy never logged in";

    // Log-out and kill end it through its exit path.
    kill(first, SIGTERM);
    EXPECT_EQ(WaitExit(first), 0);
    EXPECT_EQ(Journal().substr(Journal().size() - 7), "logout\n");
    EXPECT_TRUE(fs::exists(dir_ / "home" / "autostart" / "Zelvo.desktop"));
}

TEST_F(ProgramTest, FailedLoginIsShownAndEndsTheProgram) {
    pid_t program = Launch("engine = nonesuch");
    Window box = x_.WaitForWindow("Quorvex", 10);
    ASSERT_NE(box, 0u) << "no message box";
    x_.CloseWindow(box);
    EXPECT_EQ(WaitExit(program), 0);
    EXPECT_NE(ReadFile(dir_ / "bin" / "word.log").find("\tMSPLogin failed:10106\r\r\n"),
              std::string::npos);
}

TEST_F(ProgramTest, WithoutADisplayItSaysWhyAndEnds) {
    struct {
        const char *display;
        const char *why;
    } rows[] = {{"", "no X display (DISPLAY is not set)"},
                {":4095", "cannot open the X display :4095"}};
    for (const auto &row : rows) {
        fs::remove(dir_ / "bin" / "word.log");
        pid_t program = Launch(Scripted(), {"--assume-connected"}, row.display);
        EXPECT_EQ(WaitExit(program), 1) << row.why;
        EXPECT_NE(ReadFile(dir_ / "bin" / "word.log")
                      .find(std::string("\t") + row.why +
                            "; the tray program needs an X11 session (on Wayland, XWayland's "
                            "DISPLAY)\r\r\n"),
                  std::string::npos)
            << row.why;
    }
    EXPECT_EQ(Journal(), "") << "it never logged in";
}

TEST_F(ProgramTest, WrongOptionsAreRefused) {
    pid_t program = Launch(Scripted(), {"--no-such-option"});
    EXPECT_EQ(WaitExit(program), 2);
}

}  // namespace
