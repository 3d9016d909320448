// The V7 ink pipeline: validation codes, segmentation at 21 empty columns, the frames of a dot
// and of a straight stroke, neighbour distances and column centres.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "FastDistance.h"
#include "InkPipeline.h"

using namespace v7;

namespace {

using Pairs = std::vector<int32_t>;

// Strokes as lists of (x, y); markers added.
Pairs Writing(const std::vector<std::vector<std::pair<int, int>>> &strokes) {
    Pairs p;
    for (const auto &s : strokes) {
        for (auto [x, y] : s) {
            p.push_back(x);
            p.push_back(y);
        }
        p.insert(p.end(), {-1, 0});
    }
    p.insert(p.end(), {-1, -1});
    return p;
}

class Ink : public testing::Test {
  protected:
    std::unique_ptr<uint64_t[]> memory{new uint64_t[(InkPipeline::WorkspaceSize() + 7) / 8]};
    InkPipeline ink{memory.get()};

    int Prepare(const Pairs &p, bool single = false) {
        return ink.Prepare(p.data(), static_cast<int>(p.size() / 2), single);
    }
};

TEST_F(Ink, ValidationCodes) {
    struct Row {
        const char *what;
        Pairs pairs;
        int code;
    } rows[] = {
        {"one point", {10, 10, -1, 0, -1, -1}, 0},
        {"negative y", {5, -3, -1, 0, -1, -1}, kInkMalformed},
        {"pair (-1, 3)", {1, 1, -1, 3, -1, 0, -1, -1}, kInkMalformed},
        {"empty first stroke", {-1, 0, 1, 1, -1, 0, -1, -1}, kInkMalformed},
        {"empty stroke between", {1, 1, -1, 0, -1, 0, -1, -1}, kInkMalformed},
        {"end without stroke end", {1, 1, -1, -1}, kInkMalformed},
        {"no end of writing", {1, 1, -1, 0}, kInkMalformed},
        {"pairs after the end", {1, 1, -1, 0, -1, -1, 2, 2}, kInkBadArgument},
    };
    for (const Row &r : rows)
        EXPECT_EQ(Prepare(r.pairs), r.code) << r.what;
    Pairs ok = {1, 1, -1, 0, -1, -1};
    EXPECT_EQ(ink.Prepare(ok.data(), 2, false), kInkMalformed);  // count short of the end
    EXPECT_EQ(ink.Prepare(nullptr, 3, false), kInkBadArgument);
}

TEST_F(Ink, SegmentsAtTwentyOneEmptyColumns) {
    struct Row {
        const char *what;
        Pairs pairs;
        bool single;
        int segments;
    } rows[] = {
        {"30-column gap", Writing({{{0, 0}, {299, 63}}, {{330, 0}, {639, 63}}}), false, 2},
        {"20-column gap", Writing({{{0, 0}, {299, 63}}, {{320, 0}, {639, 63}}}), false, 1},
        {"21-column gap", Writing({{{0, 0}, {299, 63}}, {{321, 0}, {639, 63}}}), false, 2},
        {"single mode", Writing({{{0, 0}, {299, 63}}, {{330, 0}, {639, 63}}}), true, 1},
        {"taller than wide", Writing({{{0, 0}}, {{50, 200}}}), false, 1},
        {"three pieces",
         Writing({{{0, 0}, {99, 63}}, {{200, 0}, {299, 63}}, {{400, 5}, {599, 63}}}), false, 3},
    };
    for (const Row &r : rows) {
        ASSERT_EQ(Prepare(r.pairs, r.single), 0) << r.what;
        EXPECT_EQ(ink.segmentCount(), r.segments) << r.what;
    }
}

TEST_F(Ink, SegmentsKeepTheirStrokesTogether) {
    // Strokes written out of order: the right piece first.
    ASSERT_EQ(
        Prepare(Writing({{{330, 0}, {639, 63}}, {{0, 0}, {299, 63}}, {{100, 20}, {120, 40}}})), 0);
    ASSERT_EQ(ink.segmentCount(), 2);
    EXPECT_EQ(ink.segment(0).strokeCount, 2);
    EXPECT_EQ(ink.segment(1).strokeCount, 1);
    EXPECT_LT(ink.strokes()[ink.segment(0).firstStroke].box.maxX, 300);
}

TEST_F(Ink, ADotGivesPenDownAndPenUp) {
    ASSERT_EQ(Prepare(Writing({{{7, 9}}})), 0);
    ASSERT_EQ(ink.BuildFrames(0), 0);
    ASSERT_EQ(ink.frameCount(), 2);
    const FeatureFrame *f = ink.frames();
    EXPECT_EQ(f[0].pen, kPenDown);
    EXPECT_EQ(f[1].pen, kPenUp);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(f[i].dx, 0.0f);
        EXPECT_EQ(f[i].dy, 0.0f);
        EXPECT_EQ(f[i].step, 0.0f);
        EXPECT_EQ(f[i].sine, 0.0f);
        EXPECT_EQ(f[i].cosine, 1.0f);
        EXPECT_EQ(f[i].y, 31.0f);  // a flat writing is moved to the middle of the 64 rows
        EXPECT_EQ(f[i].left, kNoNeighbour);
    }
}

TEST_F(Ink, AStraightStrokeGivesOneFramePerUnit) {
    // The vertical stroke makes the box 64 high and 11 wide, so nothing is rescaled.
    ASSERT_EQ(Prepare(Writing({{{0, 10}, {5, 10}}, {{10, 0}, {10, 63}}})), 0);
    ASSERT_EQ(ink.BuildFrames(0), 0);
    const FeatureFrame *f = ink.frames();
    ASSERT_EQ(ink.frameCount(), 6 + 64);
    EXPECT_EQ(f[0].pen, kPenDown);
    EXPECT_EQ(f[0].x, 0.0f);
    EXPECT_EQ(f[0].y, 10.0f);
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(f[k].pen, k == 5 ? kPenUp : kPenMoving) << k;
        EXPECT_EQ(f[k].x, static_cast<float>(k));
        EXPECT_EQ(f[k].dx, 1.0f);
        EXPECT_EQ(f[k].dy, 0.0f);
        EXPECT_EQ(f[k].step, 1.0f);
        EXPECT_EQ(f[k].sine, 0.0f);
        EXPECT_EQ(f[k].cosine, 1.0f);
        EXPECT_EQ(f[k].turnCosine, 1.0f);
    }
    // The vertical stroke: turns by 90 degrees at its first step from the pen-down direction.
    EXPECT_EQ(f[7].sine, 1.0f);
    EXPECT_EQ(f[7].turnSine, -1.0f);
    EXPECT_EQ(f[7].turnCosine, 0.0f);
}

TEST_F(Ink, NeighbourDistancesAndColumnCentres) {
    // Two lines 10 rows apart; the dot fixes the height at 64 so nothing is rescaled.
    ASSERT_EQ(Prepare(Writing({{{0, 0}, {40, 0}}, {{0, 10}, {40, 10}}, {{0, 63}}})), 0);
    ASSERT_EQ(ink.BuildFrames(0), 0);
    int checked = 0;
    for (int i = 0; i < ink.frameCount(); ++i) {
        const FeatureFrame &f = ink.frames()[i];
        if (f.y != 0.0f || f.x < 33.0f)
            continue;  // frames of the top line beyond the dot's strip
        EXPECT_EQ(f.below, 10.0f) << f.x;
        EXPECT_EQ(f.above, kNoNeighbour);
        EXPECT_EQ(f.left, kNoNeighbour);
        EXPECT_EQ(f.right, kNoNeighbour);
        EXPECT_EQ(f.columnCentre, 5.0f) << f.x;
        EXPECT_EQ(f.yFromCentre, -5.0f);
        ++checked;
    }
    EXPECT_EQ(checked, 8);
}

TEST_F(Ink, NormalisesToSixtyFourRows) {
    // 200 high, 100 wide: scaled to 64 rows and trunc(64·101/201 + 0.5) = 32 columns.
    ASSERT_EQ(Prepare(Writing({{{1000, 1000}, {1100, 1200}}})), 0);
    const StrokeRecord &s = ink.strokes()[0];
    EXPECT_EQ(s.box.minX, 0);
    EXPECT_EQ(s.box.minY, 0);
    EXPECT_EQ(s.box.maxX, 31);
    EXPECT_EQ(s.box.maxY, 63);
}

TEST_F(Ink, MergedPointsAreDropped) {
    // 1000 units high: neighbouring points merge after scaling; the steps stay non-zero.
    Pairs p;
    for (int i = 0; i <= 1000; i += 2)
        p.insert(p.end(), {500, i});
    p.insert(p.end(), {-1, 0, -1, -1});
    ASSERT_EQ(Prepare(p), 0);
    EXPECT_EQ(ink.pointCount(), 64);
    ASSERT_EQ(ink.BuildFrames(0), 0);
    EXPECT_EQ(ink.frameCount(), 64);
}

TEST(FastDistance, ExactOnAxesAndCloseElsewhere) {
    EXPECT_EQ(Distance(0, 0, 0, -7), 7.0f);
    EXPECT_EQ(Distance(3, 0, -2, 0), 5.0f);
    for (int dx = 1; dx < 60; dx += 3)
        for (int dy = 1; dy < 60; dy += 5) {
            const float d = Distance(0, 0, static_cast<float>(dx), static_cast<float>(dy));
            EXPECT_NEAR(d, std::sqrt(static_cast<double>(dx * dx + dy * dy)), 1e-4 * d);
        }
}

TEST(SegmentInputs, FifteenValuesPerFramePenStateFirst) {
    Pairs p = Writing({{{0, 0}, {30, 63}}, {{100, 0}, {130, 63}}});
    std::vector<std::vector<float>> segments;
    ASSERT_EQ(ComputeSegmentInputs(p.data(), static_cast<int>(p.size() / 2), false, &segments), 0);
    ASSERT_EQ(segments.size(), 2u);
    for (const auto &s : segments) {
        ASSERT_EQ(s.size() % kFrameInputs, 0u);
        EXPECT_EQ(s[0], 0.0f);                        // pen down
        EXPECT_EQ(s[s.size() - kFrameInputs], 2.0f);  // pen up
    }
}

}  // namespace
