#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct IntCase {
    const char *value;
    int expected;
};

class ProfileInt : public testing::TestWithParam<IntCase> {};

TEST_P(ProfileInt, ReadsAsThePlatformReaderDoes) {
    EXPECT_EQ(ProfileValueToInt(GetParam().value, 77), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, ProfileInt,
                         testing::Values(IntCase{"1", 1}, IntCase{"0", 0}, IntCase{"", 77},
                                         IntCase{"12abc", 12}, IntCase{"abc", 0}, IntCase{"-3", -3},
                                         IntCase{"+4", 4}, IntCase{" \t 5", 5}, IntCase{"0x1F", 31},
                                         IntCase{"0X1F", 0}, IntCase{"0o17", 15},
                                         IntCase{"0b101", 5}, IntCase{"0b102", 2},
                                         IntCase{"4294967295", -1}, IntCase{"4294967296", 0},
                                         IntCase{"-", 0}, IntCase{"1 2", 1},
                                         IntCase{"00000000000000000000000000001", 1},
                                         IntCase{"000000000000000000000000000001", 0}));

TEST(ProfileText, FindsKeysWithThePlatformRules) {
    ProfileText text(
        "; settings\r\n"
        "[Other]\r\n"
        "Language=9\r\n"
        "[ setting ]\r\n"
        "  language  =  3  \r\n"
        "quoted=\"2\"\r\n"
        "single='x'\r\n"
        "noequals\r\n"
        "Language=4\r\n"
        "[Setting]\r\n"
        "AutoRun=1\r\n");
    EXPECT_EQ(text.Get("Setting", "Language"), "3") << "first key of the first section";
    EXPECT_EQ(text.Get("SETTING", "QUOTED"), "2");
    EXPECT_EQ(text.Get("Setting", "single"), "x");
    EXPECT_EQ(text.Get("Setting", "noequals"), std::nullopt);
    EXPECT_EQ(text.Get("Setting", "AutoRun"), std::nullopt) << "a second section does not count";
    EXPECT_EQ(text.Get("Other", "Language"), "9");
    EXPECT_EQ(text.Get("Missing", "Language"), std::nullopt);
}

struct SetCase {
    const char *before;
    const char *section;
    const char *key;
    const char *value;
    const char *after;
};

class ProfileSet : public testing::TestWithParam<SetCase> {};

TEST_P(ProfileSet, ChangesOnlyWhatItMust) {
    ProfileText text(GetParam().before);
    text.Set(GetParam().section, GetParam().key, GetParam().value);
    EXPECT_EQ(text.Text(), GetParam().after);
    std::string stored;
    for (const char *v = GetParam().value; *v; ++v)
        if (*v != '\r' && *v != '\n')
            stored += *v;
    EXPECT_EQ(ProfileText(text.Text()).Get(GetParam().section, GetParam().key), stored);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, ProfileSet,
    testing::Values(SetCase{"", "Setting", "AutoRun", "1", "[Setting]\r\nAutoRun=1\r\n"},
                    SetCase{"[Setting]\r\nAutoRun=0\r\nLanguage=2\r\n", "Setting", "autorun", "1",
                            "[Setting]\r\nAutoRun=1\r\nLanguage=2\r\n"},
                    SetCase{"[Setting]\nA=1\n\n[Next]\nB=2\n", "Setting", "C", "3",
                            "[Setting]\nA=1\nC=3\n\n[Next]\nB=2\n"},
                    SetCase{"; only a comment", "Setting", "A", "1",
                            "; only a comment\r\n\r\n[Setting]\r\nA=1\r\n"},
                    SetCase{"[Setting]\r\nA=1", "Setting", "B", "2", "[Setting]\r\nA=1\r\nB=2\r\n"},
                    SetCase{"[Setting]\r\n; keep me\r\n A = 1 \r\n", "Setting", "A", "5",
                            "[Setting]\r\n; keep me\r\nA=5\r\n"},
                    SetCase{"[Setting]\r\n", "Setting", "A", "x\r\ny", "[Setting]\r\nA=xy\r\n"}));

class PrivateProfileFile : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("profile-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        path_ = (dir_ / "config.ini").string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Read() {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
    std::string path_;
};

TEST_F(PrivateProfileFile, WritesAndReadsBack) {
    EXPECT_EQ(GetPrivateProfileInt("Setting", "Language", 7, path_), 7) << "no file: default";
    ASSERT_TRUE(
        WritePrivateProfileStrings("Setting", {{"Language", "3"}, {"ShowFlag", "0"}}, path_));
    EXPECT_EQ(GetPrivateProfileInt("Setting", "Language", 7, path_), 3);
    EXPECT_EQ(GetPrivateProfileInt("Setting", "ShowFlag", 1, path_), 0);
    EXPECT_EQ(GetPrivateProfileInt("Setting", "AutoRun", 9, path_), 9);
    EXPECT_EQ(Read(), "[Setting]\r\nLanguage=3\r\nShowFlag=0\r\n");
    EXPECT_FALSE(fs::exists(path_ + ".new"));
}

TEST_F(PrivateProfileFile, MissingDirectoryStoresNothing) {
    std::string path = (dir_ / "config" / "config.ini").string();
    EXPECT_FALSE(WritePrivateProfileStrings("Setting", {{"Language", "3"}}, path));
    EXPECT_EQ(GetPrivateProfileInt("Setting", "Language", 0, path), 0);
}

TEST_F(PrivateProfileFile, FailedWriteKeepsTheOldFile) {
    ASSERT_TRUE(WritePrivateProfileStrings("Setting", {{"Language", "3"}}, path_));
    fs::create_directory(path_ + ".new");  // the new file cannot be written
    EXPECT_FALSE(WritePrivateProfileStrings("Setting", {{"Language", "5"}}, path_));
    EXPECT_EQ(GetPrivateProfileInt("Setting", "Language", 0, path_), 3);
}

// A writer killed at any moment leaves either the old or the new settings, never a mixture or a
// truncated file.
TEST_F(PrivateProfileFile, KilledWriterNeverLeavesHalfAFile) {
    std::vector<std::pair<std::string, std::string>> a, b;
    for (const char *key : {"AutoUpdateType", "AutoRun", "ClosePromp", "ShowFlag", "Language",
                            "LongPressModel", "AutoModify"}) {
        a.emplace_back(key, "1");
        b.emplace_back(key, "22");
    }
    ASSERT_TRUE(WritePrivateProfileStrings("Setting", a, path_));
    for (int round = 0; round < 10; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                WritePrivateProfileStrings("Setting", i % 2 ? a : b, path_);
        }
        usleep(5000 + round * 1000);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        int first = GetPrivateProfileInt("Setting", "AutoUpdateType", -1, path_);
        ASSERT_TRUE(first == 1 || first == 22) << Read();
        for (const auto &[key, value] : a)
            ASSERT_EQ(GetPrivateProfileInt("Setting", key, -1, path_), first) << key << "\n"
                                                                              << Read();
    }
}

}  // namespace
