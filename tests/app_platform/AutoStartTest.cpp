#include "platform/AutoStart.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class AutoStartTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("autostart-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        const char *old = getenv("XDG_CONFIG_HOME");
        oldConfig_ = old ? old : "";
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    void TearDown() override {
        if (oldConfig_.empty())
            unsetenv("XDG_CONFIG_HOME");
        else
            setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
        fs::remove_all(dir_);
    }
    std::string Entry() {
        std::ifstream in(dir_ / "config" / "autostart" / "Zelvo.desktop");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
    std::string oldConfig_;
};

TEST_F(AutoStartTest, EnableWritesAnEntryAndDisableLeavesItInert) {
    std::string directory;
    ASSERT_EQ(OpenAutoStartDirectory(&directory), 0);
    EXPECT_EQ(directory, (dir_ / "config" / "autostart").string());
    ASSERT_EQ(SetAutoStartEntry(directory, "Zelvo", "/opt/my \"q\" $x\\y/100%/quorvex"), 0);
    EXPECT_EQ(Entry(),
              "[Desktop Entry]\nType=Application\nName=Zelvo\n"
              "Exec=\"/opt/my \\\\\"q\\\\\" \\\\$x\\\\\\\\y/100%%/quorvex\"\n"
              "X-GNOME-Autostart-enabled=true\n");
    ASSERT_EQ(SetAutoStartEntry(directory, "Zelvo", ""), 0);
    EXPECT_EQ(Entry(), "[Desktop Entry]\nType=Application\nName=Zelvo\nExec=\nHidden=true\n");
}

TEST_F(AutoStartTest, ConfigDirectoryThatIsAFileIsAnOpenError) {
    std::ofstream(dir_ / "config") << "not a directory";
    std::string directory;
    EXPECT_EQ(OpenAutoStartDirectory(&directory), ENOTDIR);
}

TEST_F(AutoStartTest, UnwritableEntryIsASetErrorAndKeepsTheOldOne) {
    std::string directory;
    ASSERT_EQ(OpenAutoStartDirectory(&directory), 0);
    ASSERT_EQ(SetAutoStartEntry(directory, "Zelvo", ""), 0);
    fs::create_directory(directory + "/Zelvo.desktop.new");
    EXPECT_EQ(SetAutoStartEntry(directory, "Zelvo", "/bin/true"), EISDIR);
    EXPECT_EQ(Entry(), "[Desktop Entry]\nType=Application\nName=Zelvo\nExec=\nHidden=true\n");
}

}  // namespace
