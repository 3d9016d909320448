// `hwr eval` as a user runs it, over the front end's test plug-in, whose second candidate is
// "bytes:N" for N bytes of stroke data: error rates, top-k, confusions and refusals of bad sets.
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

const std::string kKit =
    std::string(" --datapath /tmp --plugin-dir ") + QV_TEST_PLUGIN_DIR + "/wellformed";

// One stroke of `points` points: 4 bytes a point, 8 more for the two markers.
std::string Stroke(int points) {
    std::string s;
    for (int i = 0; i < points; ++i)
        s += std::string("\x0a\x00\x0b\x00", 4);
    return s + std::string("\xff\xff\x00\x00\xff\xff\xff\xff", 8);
}

}  // namespace

TEST(HwrEval, ScoresTopKErrorRatesAndConfusionsOverALabelFolder) {
    kit_test::TempDir dir;
    dir.Write("a.raw", Stroke(1));  // 12 bytes
    dir.Write("b.raw", Stroke(2));  // 16 bytes
    dir.Write("c.inkml",
              "<ink><annotation type=\"truth\">bytes:20</annotation><trace>1 1, 2 2, 3 3</trace>"
              "</ink>");
    // The test plug-in's first candidate is its configuration text, its second "bytes:N".
    dir.Write("labels.txt", "a.raw\tbytes:12\nb.raw\tbytes:17\n");
    ToolRun r = Hwr("eval --capkey hwr.local.letter --compare exact " + dir.Path() + " " +
                    dir.File("c.inkml") + kKit);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("items       3 (0 refused), capkey hwr.local.letter"), std::string::npos)
        << r.out;
    // Top-1 is never right; "bytes:12" and "bytes:20" are found second.
    EXPECT_NE(r.out.find("top-1 0.00%  top-5 66.67%  top-10 66.67% of items"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("words       3, WER 100.00%"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("characters  24, CER "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("time ms     mean "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("confusions  (written -> recognised)"), std::string::npos) << r.out;
}

TEST(HwrEval, RawFileStartingWithTheByteOfALessThanSignIsStillRaw) {
    kit_test::TempDir dir;
    // x = 60 is the byte '<': the file must not be taken for InkML.
    dir.Write("lt.raw", std::string("\x3c\x00\x0b\x00\xff\xff\x00\x00\xff\xff\xff\xff", 12));
    dir.Write("labels.txt", "lt.raw\tbytes:12\n");
    ToolRun r = Hwr("eval --capkey hwr.local.letter " + dir.Path() + kKit);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("top-5 100.00%"), std::string::npos) << r.out;
}

TEST(HwrEval, ComparesLettersOnlyWhenAsked) {
    kit_test::TempDir dir;
    dir.Write("a.raw", Stroke(1));
    dir.Write("labels.txt", "a.raw\tby-tes 12!\n");
    // Without digits and marks the truth is "bytes" and the second candidate "bytes" too.
    ToolRun r =
        Hwr("eval --capkey hwr.local.letter --compare nospace " + dir.File("labels.txt") + kKit);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("top-1 0.00%  top-5 100.00%"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("characters  5, CER "), std::string::npos) << r.out;
}

TEST(HwrEval, RefusesBadSetsWithMessages) {
    kit_test::TempDir dir;
    dir.Write("notab.txt", "a.raw bytes\n");
    dir.Write("missing.txt", "gone.raw\tx\n");
    dir.Write("bare.inkml", "<ink><trace>1 1, 2 2</trace></ink>");
    dir.Write("empty.txt", "# nothing\n");
    struct Case {
        std::string args;
        int status;
        const char *message;
    } cases[] = {
        {"eval " + dir.File("notab.txt"), 2, "needs --capkey KEY"},
        {"eval --capkey k --compare fuzzy " + dir.File("notab.txt"), 2, "--compare is exact"},
        {"eval --capkey k --limit x " + dir.File("notab.txt"), 2, "--limit needs a number"},
        {"eval --capkey k " + dir.File("notab.txt"), 3, "notab.txt:1: expected FILE<TAB>TEXT"},
        {"eval --capkey k " + dir.File("bare.inkml"), 3, "has no <annotation type=\"truth\">"},
        {"eval --capkey k " + dir.File("empty.txt"), 3, "the set has no items"},
        {"eval --capkey hwr.local.letter " + dir.File("missing.txt") + kKit, 3, "gone.raw"},
    };
    for (const Case &c : cases) {
        ToolRun r = Hwr(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
}
