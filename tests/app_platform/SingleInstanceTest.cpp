#include "platform/SingleInstance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

class SingleInstanceTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("instance-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_RUNTIME_DIR");
        fs::remove_all(dir_);
    }
    fs::path dir_;
};

// Another process holds the lock until it ends, however it ends.
TEST_F(SingleInstanceTest, SecondHolderIsToldAndTheLockOutlivesNoProcess) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        SingleInstance mine;
        bool exists = false;
        bool ok = mine.Create("tikoSmart", &exists);
        char byte = ok ? 1 : 0;
        (void)!write(ready[1], &byte, 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);

    SingleInstance second;
    bool exists = false;
    EXPECT_FALSE(second.Create("tikoSmart", &exists));
    EXPECT_TRUE(exists);
    SingleInstance other;
    EXPECT_TRUE(other.Create("otherName", &exists)) << "names are separate";

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(second.Create("tikoSmart", &exists));
    EXPECT_FALSE(exists);
    EXPECT_TRUE(fs::exists(dir_ / "tikoSmart.lock"));
}

TEST_F(SingleInstanceTest, UnusableRuntimeDirectoryFallsBackToTmp) {
    setenv("XDG_RUNTIME_DIR", (dir_ / "missing").c_str(), 1);
    SingleInstance a, b;
    bool exists = false;
    std::string name = "qvtest-" + std::to_string(getpid());
    EXPECT_TRUE(a.Create(name, &exists));
    EXPECT_TRUE(fs::exists("/tmp/" + name + "-" + std::to_string(getuid()) + ".lock"));
    pid_t child = fork();
    if (child == 0) {
        SingleInstance c;
        bool e = false;
        _exit(!c.Create(name, &e) && e ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the other process sees the lock held";
    a.Close();
    fs::remove("/tmp/" + name + "-" + std::to_string(getuid()) + ".lock");
}

}  // namespace
