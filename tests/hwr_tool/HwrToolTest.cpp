// The `hwr` program as a user runs it: output, messages and exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "KitTestSupport.h"

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun Hwr(const std::string &args) {
    kit_test::TempDir dir;
    std::string cmd = std::string("env -u VRA_LOG_LEVEL -u VRA_HWR_DATAPATH ") + HWR_TOOL + " " +
                      args + " >" + dir.File("out") + " 2>" + dir.File("err");
    int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, kit_test::ReadFile(dir.File("out")),
            kit_test::ReadFile(dir.File("err"))};
}

const std::string kPlugins = std::string(" --plugin-dir ") + QV_TEST_PLUGIN_DIR + "/wellformed";

TEST(HwrTool, InfoListsCapabilities) {
    ToolRun r =
        Hwr("info --datapath /tmp --sys serviceurl.hwr.cloud=http://127.0.0.1:9" + kPlugins);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("vra_sys       "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("hwr.local.letter               ready        vra_hwr_local_recog "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("hwr.local.associateword        ready        vra_hwr_associate "),
              std::string::npos);
    ToolRun bare = Hwr("info --datapath /tmp --plugin-dir /nonexistent");
    EXPECT_EQ(bare.status, 0) << "info reports, it does not fail";
    EXPECT_NE(bare.out.find("hwr.cloud.letter               103 "), std::string::npos) << bare.out;
}

TEST(HwrTool, RecogReadsRawAndInkML) {
    kit_test::TempDir dir;
    std::string raw =
        dir.Write("w.raw", std::string("\x0a\x00\x0b\x00\xff\xff\x00\x00\xff\xff\xff\xff", 12));
    std::string inkml = dir.Write("w.inkml", "<ink><trace>300 300, 310 320</trace></ink>");
    ToolRun r = Hwr("recog --capkey hwr.local.letter --ink " + raw + " --datapath /tmp" + kPlugins);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("2\tbytes:12\t[10]\n"), std::string::npos) << r.out;
    r = Hwr("recog --capkey hwr.local.letter --ink " + inkml + " --candnum 3 --datapath /tmp" +
            kPlugins);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1\tcfg:candnum=3,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2\tbytes:16\t[300]\n"), std::string::npos) << r.out;
    r = Hwr("recog --capkey hwr.local.letter --realtime --ink " + inkml + " --datapath /tmp" +
            kPlugins);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("realtime=yes"), std::string::npos) << r.out;
}

TEST(HwrTool, ErrorsHaveMessagesAndStatuses) {
    kit_test::TempDir dir;
    std::string bad = dir.Write("bad.raw", std::string("\x0a\x00\x0b\x00", 4));
    struct Case {
        std::string args;
        int status;
        const char *message;
    } cases[] = {
        {"", 2, "usage: hwr COMMAND"},
        {"frobnicate", 2, "unknown command 'frobnicate'"},
        {"recog --ink x", 2, "needs --capkey KEY and --ink FILE"},
        {"recog --capkey k --ink x --bogus", 2, "unknown option --bogus"},
        {"recog --capkey hwr.local.letter --ink " + dir.File("absent"), 3, "cannot open"},
        {"recog --capkey hwr.local.letter --datapath= --ink " + bad + kPlugins, 16,
         "session start failed: local capability key, but the kit was initialised without "
         "datapath (code 6)"},
        {"recog --capkey hwr.local.letter --ink " + bad + " --datapath /tmp" + kPlugins, 11,
         "recognition failed: invalid argument (code 1)"},
        {"recog --capkey hwr.local.penscript --ink " + bad + " --datapath /tmp" + kPlugins, 33,
         "(code 23)"},
        {"associate", 2, "needs one TEXT"},
        {"associate x --sys colour=blue", 13, "system library configuration failed"},
    };
    for (const Case &c : cases) {
        ToolRun r = Hwr(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE((r.err + r.out).find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
}

TEST(HwrTool, AssociatePrintsWords) {
    ToolRun r = Hwr("associate 今天 --candnum 5 --datapath /tmp" + kPlugins);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "今天-next");
    EXPECT_NE(r.out.find("candnum=5"), std::string::npos);
}

}  // namespace
