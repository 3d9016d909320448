// `hwr adjust` and `hwr associate` as a user runs them, over the real plug-in and the shipped
// dictionaries.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "KitTestSupport.h"

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

class Tool {
  public:
    ToolRun Run(const std::string &args) const {
        const std::string cmd = std::string("env -u VRA_LOG_LEVEL -u VRA_HWR_DATAPATH ") +
                                HWR_TOOL + " " + args + " --datapath " + QV_HWR_SOURCE_DATA_DIR +
                                " --sys authpath=" + dir.File("auth") + " >" + dir.File("out") +
                                " 2>" + dir.File("err");
        const int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, kit_test::ReadFile(dir.File("out")),
                kit_test::ReadFile(dir.File("err"))};
    }
    std::string User() const { return dir.File("wa.user.dct"); }
    kit_test::TempDir dir;
};

std::string FirstLine(const std::string &text) {
    return text.substr(0, text.find('\n'));
}

TEST(AssociateTool, AdjustedWordsLeadTheAssociation) {
    Tool tool;
    ToolRun r = tool.Run("associate 中 --candnum 3 --no-recursive");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "国\n心\n央\n");

    r = tool.Run("adjust 中秋 中关村 --user " + tool.User());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "learnt 中秋\nlearnt 中关村\n");
    r = tool.Run("associate 中 --candnum 3 --config userdatapath=" + tool.User());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "关村\n秋\n国\n");
    r = tool.Run("associate 中 --single --candnum 2 --config userdatapath=" + tool.User());
    EXPECT_EQ(r.out, "关\n秋\n");
}

TEST(AssociateTool, AdjustReportsRefusedWords) {
    Tool tool;
    const struct {
        std::string args;
        int status;
        const char *message;
    } cases[] = {
        {"adjust", 2, "needs at least one WORD"},
        {"adjust hello", 32, "(code 22)"},
        {"adjust 中", 11, "(code 1)"},
        {"adjust 一二三四五六七八九十一二三四五六", 30, "(code 20)"},
        // The words before a refused one are still learnt and saved.
        {"adjust 中秋 中", 11, "learnt 中秋"},
    };
    for (const auto &c : cases) {
        const ToolRun r = tool.Run(c.args + " --user " + tool.User());
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE((r.err + r.out).find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_EQ(FirstLine(tool.Run("associate 中 --config userdatapath=" + tool.User()).out), "秋");
}

}  // namespace
