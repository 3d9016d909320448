#include "platform/WriteLog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/ProgramDirectory.h"

namespace {

namespace fs = std::filesystem;

class WriteLogTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("writelog-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        SetProgramDirectory(dir_.string());
    }
    void TearDown() override {
        SetProgramDirectory("");
        fs::remove_all(dir_);
    }
    std::string Log() {
        std::ifstream in(dir_ / "word.log", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
};

TEST_F(WriteLogTest, LinesHaveTheTimeATabTheTextAndCrCrLf) {
    EXPECT_EQ(WriteLog("MSPLogin failed:10104"), 0);
    EXPECT_EQ(WriteLog(u"请重说"), 0);
    std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\t([^\r\n]*)\r\r\n)");
    std::string log = Log();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(log, m, line)) << log;
    EXPECT_EQ(m[1], "MSPLogin failed:10104");
    std::string rest = m.suffix();
    ASSERT_TRUE(std::regex_match(rest, m, line)) << rest;
    EXPECT_EQ(m[1], "\xc7\xeb\xd6\xd8\xcb\xb5") << "Unicode texts are written in code page 936";
}

TEST_F(WriteLogTest, AppendsToWhatIsThere) {
    { std::ofstream(dir_ / "word.log", std::ios::binary) << "old\r\r\n"; }
    WriteLog("new");
    EXPECT_EQ(Log().substr(0, 6), "old\r\r\n");
    EXPECT_NE(Log().find("\tnew\r\r\n"), std::string::npos);
}

TEST_F(WriteLogTest, UnwritableLogGivesMinusOne) {
    SetProgramDirectory((dir_ / "missing").string());
    EXPECT_EQ(WriteLog("lost"), -1);
}

TEST_F(WriteLogTest, LinesFromManyThreadsStayWhole) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i)
                WriteLog(std::string(200, static_cast<char>('a' + t)));
        });
    for (auto &t : threads)
        t.join();
    std::istringstream lines(Log());
    std::string line;
    int count = 0;
    std::regex whole(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\t(a{200}|b{200}|c{200}|d{200})\r\r)");
    while (std::getline(lines, line)) {
        EXPECT_TRUE(std::regex_match(line, whole)) << line;
        ++count;
    }
    EXPECT_EQ(count, 400);
}

}  // namespace
