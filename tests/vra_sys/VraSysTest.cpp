#include "vra_sys.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <regex>

#include "KitTestSupport.h"

namespace {

using kit_test::ReadFile;
using kit_test::TempDir;

// Every test leaves the library released.
class VraSys : public ::testing::Test {
  protected:
    void TearDown() override { VRA_Release(); }
};

TEST_F(VraSys, InitAndReleaseStates) {
    EXPECT_EQ(VRA_IsInited(), 0);
    EXPECT_EQ(VRA_Release(), 100);
    EXPECT_EQ(VRA_Init(nullptr), 0);
    EXPECT_EQ(VRA_IsInited(), 1);
    EXPECT_EQ(VRA_Init(""), 101);
    EXPECT_EQ(VRA_Release(), 0);
    EXPECT_EQ(VRA_IsInited(), 0);
    EXPECT_EQ(VRA_Init(""), 0) << "initialised again after a release";
}

TEST_F(VraSys, ConfigurationItems) {
    struct Case {
        const char *config;
        int code;
    } cases[] = {
        {"appkey=a1, maxsessions = 12 ,,", 0},
        {"AppKey=a1", 0},
        {"maxsessions=0", 3},
        {"maxsessions=257", 3},
        {"maxsessions=4x", 3},
        {"latitude=91", 3},
        {"longitude=-180", 0},
        {"loglevel=6", 3},
        {"smartspace=maybe", 3},
        {"colour=blue", 3},
        {"appkey", 3},
        {"=x", 3},
        {"devkey.=x", 3},
        {"serviceurl.hwr.cloud=http://h:1/x", 0},
        {"udidtype=-5", 0},
        {"authpath=", 3},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(VRA_Init(c.config), c.code) << c.config;
        EXPECT_EQ(VRA_IsInited(), c.code == 0 ? 1 : 0) << c.config;
        VRA_Release();
    }
}

TEST_F(VraSys, KeysAndIdentity) {
    TempDir dir;
    std::string config =
        "appkey=app-1,devkey=dev-1,devkey.Other=dev-2,maxsessions=3,"
        "latitude=31.5,longitude=-117.25,smartspace=yes,udid=U1,udidtype=7,"
        "tid=T,eid=E,userid=me,authpath=" +
        dir.File("auth") + "/";
    ASSERT_EQ(VRA_Init(config.c_str()), 0);
    EXPECT_STREQ(VRA_GetDefaultAppKey(), "app-1");
    EXPECT_STREQ(VRA_GetDeveloperKeyByAppKey("app-1"), "dev-1");
    EXPECT_STREQ(VRA_GetDeveloperKeyByAppKey("Other"), "dev-2");
    EXPECT_STREQ(VRA_GetDeveloperKeyByAppKey("other"), "") << "application keys keep their case";
    EXPECT_STREQ(VRA_GetDeveloperKeyByAppKey(nullptr), "");
    EXPECT_EQ(VRA_GetMaxSessionCount(), 3);
    double lat = 0, lon = 0;
    EXPECT_EQ(VRA_GetLocation(&lat, &lon), 0);
    EXPECT_DOUBLE_EQ(lat, 31.5);
    EXPECT_DOUBLE_EQ(lon, -117.25);
    EXPECT_EQ(VRA_GetLocation(nullptr, &lon), 1);
    EXPECT_EQ(VRA_IsSmartSpace(), 1);
    EXPECT_EQ(VRA_GetAuthPath(), dir.File("auth")) << "without the trailing slash";
    EXPECT_EQ(ReadFile(dir.File("auth")), "") << "the folder exists";
    VraCommonHeaderInfo info;
    ASSERT_EQ(VRA_GetCommonHeaderInfo(&info), 0);
    EXPECT_STREQ(info.udid, "U1");
    EXPECT_EQ(info.udidtype, 7);
    EXPECT_STREQ(info.tid, "T");
    EXPECT_STREQ(info.eid, "E");
    EXPECT_STREQ(info.userid, "me");
    EXPECT_STREQ(info.version, VRA_GetVersion());
    VraFreeCommonHeaderInfo(&info);
    EXPECT_EQ(info.udid, nullptr);
    VraFreeCommonHeaderInfo(&info);  // a zeroed record frees harmlessly
    EXPECT_EQ(VRA_GetCommonHeaderInfo(nullptr), 1);
}

TEST_F(VraSys, Defaults) {
    TempDir dir;
    setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    ASSERT_EQ(VRA_Init(nullptr), 0);
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(std::string(VRA_GetAuthPath()), dir.Path() + "/vra_hwr");
    EXPECT_STREQ(VRA_GetDefaultAppKey(), "");
    EXPECT_EQ(VRA_GetMaxSessionCount(), 8);
    EXPECT_EQ(VRA_IsSmartSpace(), 0);
    double lat = 1, lon = 1;
    VRA_GetLocation(&lat, &lon);
    EXPECT_EQ(lat, 0);
    EXPECT_EQ(lon, 0);
    VraCommonHeaderInfo info;
    ASSERT_EQ(VRA_GetCommonHeaderInfo(&info), 0);
    EXPECT_TRUE(std::regex_match(info.udid, std::regex("[0-9a-f]{16}"))) << info.udid;
    EXPECT_STREQ(info.tid, "");
    VraFreeCommonHeaderInfo(&info);
}

TEST_F(VraSys, ServiceAddresses) {
    char buf[256];
    EXPECT_EQ(VRA_ApplyServiceUrlSynch("a", "hwr.cloud.letter", buf, sizeof buf), 100);
    ASSERT_EQ(VRA_Init("serviceurl=http://all,serviceurl.hwr.cloud=http://cloud,"
                       "serviceurl.hwr.cloud.freewrite=http://free"),
              0);
    struct Case {
        const char *capkey, *url;
    } cases[] = {
        {"hwr.cloud.letter", "http://cloud"},
        {"hwr.cloud.freewrite.english", "http://free"},
        {"hwr.cloud.freewrite", "http://free"},
        {"hwr.cloudy.letter", "http://all"},  // prefixes end at a '.'
        {"HWR.CLOUD.letter", "http://all"},
    };
    for (const Case &c : cases) {
        memset(buf, 0, sizeof buf);
        EXPECT_EQ(VRA_ApplyServiceUrlSynch("a", c.capkey, buf, sizeof buf), 0) << c.capkey;
        EXPECT_STREQ(buf, c.url) << c.capkey;
    }
    EXPECT_EQ(VRA_ApplyServiceUrlSynch("a", "hwr.cloud.letter", buf, 13), 0);
    EXPECT_EQ(VRA_ApplyServiceUrlSynch("a", "hwr.cloud.letter", buf, 12), 104);
    EXPECT_EQ(VRA_ApplyServiceUrlSynch(nullptr, "k", buf, 10), 1);
    EXPECT_EQ(VRA_ApplyServiceUrlSynch("a", "k", nullptr, 10), 1);
    VRA_Release();
    ASSERT_EQ(VRA_Init(nullptr), 0);
    EXPECT_EQ(VRA_ApplyServiceUrlSynch("a", "hwr.cloud.letter", buf, sizeof buf), 103);
}

TEST_F(VraSys, ConfigurationFile) {
    TempDir dir;
    std::string file = dir.Write("vra.conf",
                                 "# the kit's system settings\n"
                                 "appkey = from-file\n"
                                 "\n"
                                 "serviceurl.hwr.cloud=http://h/a,b\n"
                                 "maxsessions=4\r\n");
    ASSERT_EQ(VRA_Init(("maxsessions=9,configfile=" + file).c_str()), 0);
    EXPECT_STREQ(VRA_GetDefaultAppKey(), "from-file");
    EXPECT_EQ(VRA_GetMaxSessionCount(), 9) << "the text overrides the file";
    char buf[64];
    ASSERT_EQ(VRA_ApplyServiceUrlSynch("x", "hwr.cloud.letter", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "http://h/a,b") << "a line's value may hold ','";
    VRA_Release();
    EXPECT_EQ(VRA_Init(("configfile=" + dir.File("absent")).c_str()), 102);
    std::string nested = dir.Write("nested.conf", "configfile=" + file + "\n");
    EXPECT_EQ(VRA_Init(("configfile=" + nested).c_str()), 3);
    std::string bad = dir.Write("bad.conf", "maxsessions\n");
    EXPECT_EQ(VRA_Init(("configfile=" + bad).c_str()), 3);
}

TEST_F(VraSys, LogLinesAndThreshold) {
    TempDir dir;
    std::string log = dir.File("kit.log");
    ASSERT_EQ(VRA_Init(("loglevel=2,logstderr=no,logfile=" + log).c_str()), 0);
    VRA_LOG(1, "[%s][%s] failed %d", "VRA_HWR", "HwrSdk::Init", 7);
    VRA_LOG(2, "[%s][%s] warned", "qvcommon", "X::Y");
    VRA_LOG(3, "not written");
    VRA_LOG(5, "not written");
    VRA_LOG(2, "ends itself\n");
    VRA_LOG(1, nullptr);
    std::string text = ReadFile(log);
    std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (FAIL|WARN) \[\d+\] [^\n]+\n)");
    std::smatch m;
    std::string rest = text;
    int lines = 0;
    while (std::regex_search(rest, m, line) && m.position(0) == 0) {
        ++lines;
        rest = m.suffix();
    }
    EXPECT_EQ(lines, 3) << text;
    EXPECT_TRUE(rest.empty()) << text;
    EXPECT_NE(text.find("FAIL ["), std::string::npos);
    EXPECT_NE(text.find("] [VRA_HWR][HwrSdk::Init] failed 7\n"), std::string::npos);
    EXPECT_EQ(text.find("not written"), std::string::npos);
}

TEST_F(VraSys, EnvironmentOverridesLogKeys) {
    TempDir dir;
    std::string log = dir.File("env.log");
    setenv("VRA_LOG_LEVEL", "5", 1);
    setenv("VRA_LOG_FILE", log.c_str(), 1);
    int code = VRA_Init("loglevel=1,logfile=/nonexistent/dir/x.log");
    unsetenv("VRA_LOG_LEVEL");
    unsetenv("VRA_LOG_FILE");
    ASSERT_EQ(code, 0);
    VRA_LOG(5, "trace line %s", "x");
    EXPECT_NE(ReadFile(log).find("TRCE ["), std::string::npos);
    testing::internal::CaptureStderr();
    VRA_LOG(1, "to the file only");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a log file turns stderr off";
    VRA_Release();
    ASSERT_EQ(VRA_Init("loglevel=1,logstderr=yes"), 0);
    testing::internal::CaptureStderr();
    VRA_LOG(1, "[%s][%s] shown", "t", "f");
    VRA_LOG(2, "hidden");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("[t][f] shown\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("hidden"), std::string::npos);
}

TEST_F(VraSys, UsageHistoryAppendsWholeRecords) {
    TempDir dir;
    VraUserHisItem item{"app", "hwr.local.letter", 9, 4, 2, "candnum=5", nullptr, nullptr};
    const unsigned char data[4] = {10, 0, 255, 255};
    item.data = data;
    item.result = reinterpret_cast<const unsigned char *>("ab");
    EXPECT_EQ(vra_append_user_his_item(&item), 100);
    ASSERT_EQ(VRA_Init(("authpath=" + dir.File("a/b")).c_str()), 0);
    EXPECT_EQ(vra_append_user_his_item(&item), 0);
    VraUserHisItem empty{};
    EXPECT_EQ(vra_append_user_his_item(&empty), 0);
    EXPECT_EQ(vra_append_user_his_item(nullptr), 1);
    auto records = kit_test::ReadHistory(dir.File("a/b/usage_history.bin"));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].appkey, "app");
    EXPECT_EQ(records[0].capkey, "hwr.local.letter");
    EXPECT_EQ(records[0].info, "candnum=5");
    EXPECT_EQ(records[0].data, std::string("\x0a\x00\xff\xff", 4));
    EXPECT_EQ(records[0].result, "ab");
    EXPECT_GT(records[0].timeMs, 1600000000000ULL);
    EXPECT_EQ(records[1].info, "");

    // A torn record at the end (a crash mid-write on another system) stops a reader there; the
    // records before it stay readable.
    std::string path = dir.File("a/b/usage_history.bin");
    std::string whole = ReadFile(path);
    dir.Write("a/b/usage_history.bin", whole + whole.substr(0, 20));
    EXPECT_EQ(kit_test::ReadHistory(path).size(), 2u);

    VRA_Release();
    ASSERT_EQ(VRA_Init(("history=no,authpath=" + dir.File("c")).c_str()), 0);
    EXPECT_EQ(vra_append_user_his_item(&item), 0);
    EXPECT_EQ(ReadFile(dir.File("c/usage_history.bin")), "");
}

// Appends one small record to `file` through the library (initialised for that file only).
int AppendTo(const std::string &file) {
    VRA_Release();
    int code = VRA_Init(("history=yes,historyfile=" + file).c_str());
    if (code != 0)
        return code;
    VraUserHisItem item{"app", "hwr.local.letter", 4, 0, 1, "k=v1", nullptr, nullptr};
    item.result = reinterpret_cast<const unsigned char *>("a");
    return vra_append_user_his_item(&item);
}

void AppendBytes(const std::string &file, const std::string &bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << bytes;
}

// A crash in the middle of an append (in this process or another) leaves a torn last record; the
// next append cuts it off, so that the record after it is not out of a reader's reach.
TEST_F(VraSys, UsageHistoryCutsATornTailBeforeTheNextAppend) {
    TempDir dir;
    ASSERT_EQ(AppendTo(dir.File("first.bin")), 0);
    const std::string record = ReadFile(dir.File("first.bin"));
    ASSERT_EQ(record.size(), 40u + 3 + 16 + 4 + 1 + 4);
    std::string badSum = record;
    badSum.back() = static_cast<char>(badSum.back() ^ 1);
    struct Case {
        const char *what;
        std::string tail;
    } cases[] = {
        {"a record cut short", record.substr(0, 30)},
        {"a head cut short", record.substr(0, 6)},
        {"zeros where the file grew", std::string(300, '\0')},
        {"a checksum that does not hold", badSum},
        {"a record whose length runs past the end", record.substr(0, 8) + std::string(20, 'x')},
    };
    int n = 0;
    for (const Case &c : cases) {
        // The library appended to this file before the crash.
        std::string known = dir.File("known" + std::to_string(n));
        ASSERT_EQ(AppendTo(known), 0);
        ASSERT_EQ(AppendTo(known), 0);
        AppendBytes(known, c.tail);
        ASSERT_EQ(AppendTo(known), 0) << c.what;
        EXPECT_EQ(kit_test::ReadHistory(known).size(), 3u) << c.what;
        EXPECT_EQ(ReadFile(known).size(), 3 * record.size()) << c.what;

        // A file this process never saw: checked from its start.
        std::string fresh = dir.Write("fresh" + std::to_string(n), record + record + c.tail);
        ASSERT_EQ(AppendTo(fresh), 0) << c.what;
        EXPECT_EQ(kit_test::ReadHistory(fresh).size(), 3u) << c.what;
        EXPECT_EQ(ReadFile(fresh).size(), 3 * record.size()) << c.what;
        ++n;
    }

    // Damage followed by whole records is left alone: cutting there would lose them.
    const std::string damaged = record + "xxxxVRAU\x10" + record;
    std::string kept = dir.Write("damaged", damaged);
    ASSERT_EQ(AppendTo(kept), 0);
    const std::string after = ReadFile(kept);
    EXPECT_EQ(after.size(), damaged.size() + record.size());
    EXPECT_EQ(after.compare(0, damaged.size(), damaged), 0);
}

// An append that cannot be written whole (here: the file size limit) adds nothing.
TEST_F(VraSys, UsageHistoryFailedAppendAddsNothing) {
    TempDir dir;
    std::string file = dir.File("limited.bin");
    ASSERT_EQ(AppendTo(file), 0);
    const std::string before = ReadFile(file);
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = before.size() + before.size() / 2;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    VraUserHisItem item{"app", "hwr.local.letter", 4, 0, 1, "k=v1", nullptr, nullptr};
    item.result = reinterpret_cast<const unsigned char *>("a");
    int code = vra_append_user_his_item(&item);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(code, VRA_SYS_ERR_HISTORY);
    EXPECT_EQ(ReadFile(file), before);
    EXPECT_EQ(vra_append_user_his_item(&item), 0);
    EXPECT_EQ(kit_test::ReadHistory(file).size(), 2u);
}

TEST(VraSysErrors, EveryKitCodeHasAText) {
    const int codes[] = {0,  -1, 1,  2,   3,   4,   5,   6,   8,   9,   10,  11,  14,  16,  17, 18,
                         20, 22, 23, 100, 101, 102, 103, 104, 105, 300, 301, 302, 304, 306, 308};
    for (int c : codes)
        EXPECT_STRNE(vra_get_error_info(c), "unknown error") << c;
    EXPECT_STREQ(vra_get_error_info(12345), "unknown error");
    EXPECT_STREQ(vra_get_error_info(16), "no session with this id");
}

}  // namespace
