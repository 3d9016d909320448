// `hwr recog` and `hwr eval` for the letter and gesture keys as a user runs them: the tool, the
// front end, the real local plug-in and the shipped dictionaries.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "KitTestSupport.h"

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun Hwr(const std::string &args) {
    kit_test::TempDir dir;
    const std::string cmd = std::string("env -u VRA_LOG_LEVEL -u VRA_HWR_DATAPATH ") + HWR_TOOL +
                            " " + args + " --datapath " + QV_SHIPPED_DATA_DIR + " >" +
                            dir.File("out") + " 2>" + dir.File("err");
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, kit_test::ReadFile(dir.File("out")),
            kit_test::ReadFile(dir.File("err"))};
}

// Raw stroke data of one stroke through the points, little-endian.
std::string RawStroke(std::initializer_list<std::pair<int, int>> points) {
    std::vector<int16_t> v;
    for (auto [x, y] : points)
        for (int k = 0; k < 8; ++k)  // a few points along the way, as a pen reports them
            v.insert(v.end(), {static_cast<int16_t>(x + k), static_cast<int16_t>(y + k)});
    v.insert(v.end(), {-1, 0, -1, -1});
    std::string bytes;
    for (int16_t value : v) {
        const auto u = static_cast<uint16_t>(value);
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

TEST(LetterTool, RecogAndEvalServeTheLetterAndGestureKeys) {
    kit_test::TempDir dir;
    const std::string l =
        dir.Write("l.raw", RawStroke({{20, 20}, {20, 160}, {20, 300}, {200, 300}}));
    const std::string line = dir.Write("line.raw", RawStroke({{20, 150}, {160, 150}, {300, 150}}));
    ToolRun r = Hwr("recog --capkey hwr.local.letter --ink " + l + " --candnum 3");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("1\tL\n2\t", 0), 0u) << r.out;
    r = Hwr("recog --capkey hwr.local.gesture --ink " + line);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\t0\n");
    r = Hwr("recog --capkey hwr.local.letter --config resPrefix=zh_,recogrange=gb --ink " + line);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("1\t一\n", 0), 0u) << r.out;
    // A prefix without resources: the kit's code 14 becomes exit status 24.
    r = Hwr("recog --capkey hwr.local.letter --config resPrefix=missing_ --ink " + l);
    EXPECT_EQ(r.status, 24) << r.err;

    dir.Write("labels.txt", "l.raw\tL\nline.raw\t-\n");
    r = Hwr("eval --capkey hwr.local.letter " + dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("items       2 (0 refused), capkey hwr.local.letter"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("top-10 100.00% of items"), std::string::npos) << r.out;
}

}  // namespace
