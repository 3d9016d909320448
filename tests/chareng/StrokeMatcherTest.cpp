// Segment directions, merging, prototype packing and the banded warping distance.
#include <gtest/gtest.h>

#include <random>

#include "CharDictionary.h"
#include "StrokeMatcher.h"

using namespace chareng;

namespace {

Segment Seg(float x0, float y0, float x1, float y1) {
    Segment s{x0, y0, x1, y1, 0, 0};
    s.length = std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
    s.direction = SegmentDirection(x1 - x0, y1 - y0);
    return s;
}

TEST(StrokeMatcherTest, DirectionIs360MinusTheAngleTowardPlusY) {
    struct Row {
        float dx, dy;
        int direction;
    } rows[] = {{1, 0, 360}, {0, 1, 270}, {-1, 0, 180}, {0, -1, 90}, {1, 1, 315}, {0, 0, 360}};
    for (const Row &r : rows)
        EXPECT_EQ(SegmentDirection(r.dx, r.dy), r.direction) << r.dx << "," << r.dy;
}

TEST(StrokeMatcherTest, MergesUnlessDirectionsDifferBy74AndLengthsAreComparable) {
    const float k = 3.14159265f / 180.f;
    auto turned = [k](float deg, float len) {
        return Seg(10, 10, 10 + len * std::cos(deg * k), 10 + len * std::sin(deg * k));
    };
    struct Row {
        float angle, firstLen, secondLen;
        int segments;
    } rows[] = {
        {72.5f, 10, 10, 1},  // 73 degrees apart (whole degrees): merged
        {74.5f, 10, 10, 2},  // 74 degrees: kept apart
        {90, 10, 150, 1},    // 15 times as long: merged although they turn
        {90, 10, 140, 2},    // 14 times: kept
        {180, 10, 10, 2},
    };
    for (const Row &r : rows) {
        Segment segs[2] = {Seg(0, 0, r.firstLen, 0), turned(r.angle, r.secondLen)};
        segs[1] = Seg(r.firstLen, 0, r.firstLen + segs[1].x1 - segs[1].x0, segs[1].y1 - segs[1].y0);
        EXPECT_EQ(MergeSegments(segs, 2), r.segments)
            << r.angle << " degrees, " << r.firstLen << " / " << r.secondLen;
    }
}

TEST(StrokeMatcherTest, MergingRepeatsUntilARoundMergesNothing) {
    // A gentle arc of six pieces turning 20 degrees each becomes one segment.
    Segment segs[6];
    float x = 0, y = 0;
    for (int i = 0; i < 6; ++i) {
        const float a = i * 20.f * 3.14159265f / 180.f;
        segs[i] = Seg(x, y, x + 10 * std::cos(a), y + 10 * std::sin(a));
        x = segs[i].x1;
        y = segs[i].y1;
    }
    const int n = MergeSegments(segs, 6);
    ASSERT_EQ(n, 1);
    EXPECT_FLOAT_EQ(segs[0].x1, x);
}

TEST(StrokeMatcherTest, PrototypePointsSurvivePacking) {
    std::mt19937 rng(3);
    for (int n : {1, 2, 3, 7, 148, 255}) {
        std::vector<uint8_t> pts(2 * n);
        for (auto &v : pts)
            v = static_cast<uint8_t>(rng() % 64);
        std::vector<uint8_t> packed(PrototypeBytes(n));
        ASSERT_EQ(
            PackPrototype(reinterpret_cast<const uint8_t(*)[2]>(pts.data()), n, packed.data()),
            static_cast<int>(packed.size()));
        EXPECT_EQ(packed[0], n);
        for (int i = 0; i < n; ++i) {
            int x, y;
            PrototypePoint(packed.data(), i, &x, &y);
            EXPECT_EQ(x, pts[2 * i]);
            EXPECT_EQ(y, pts[2 * i + 1]);
        }
    }
}

TEST(StrokeMatcherTest, WarpingDistanceIsTheAverageCostOfTheBestPath) {
    const uint8_t seq[6][2] = {{0, 0}, {63, 0}, {63, 0}, {0, 63}, {0, 63}, {63, 63}};
    std::vector<uint8_t> proto(PrototypeBytes(6));
    PackPrototype(seq, 6, proto.data());
    EXPECT_EQ(PrototypeDistance(seq, 6, proto.data(), false), 1000)
        << "identical: cost 1000 a pair";
    // Shifted by (3, 4): every pair costs round(1000 * sqrt(26)).
    uint8_t shifted[6][2];
    for (int i = 0; i < 6; ++i) {
        shifted[i][0] = static_cast<uint8_t>(std::min(seq[i][0] + 3, 63));
        shifted[i][1] = static_cast<uint8_t>(std::min(seq[i][1] + 4, 63));
    }
    const int32_t d = PrototypeDistance(shifted, 6, proto.data(), false);
    EXPECT_GT(d, 1000);
    EXPECT_LE(d, 5099);
    // x and y exchanged: the prototype of the transposed writing matches exactly.
    uint8_t transposed[6][2];
    for (int i = 0; i < 6; ++i) {
        transposed[i][0] = seq[i][1];
        transposed[i][1] = seq[i][0];
    }
    EXPECT_EQ(PrototypeDistance(transposed, 6, proto.data(), true), 1000);
}

TEST(StrokeMatcherTest, NoPathWhenTheBandCannotReachTheFirstPoint) {
    // One prototype point against 11 sequence points: its band starts past the first point.
    const uint8_t one[1][2] = {{5, 5}};
    std::vector<uint8_t> proto(PrototypeBytes(1));
    PackPrototype(one, 1, proto.data());
    uint8_t seq[11][2] = {};
    EXPECT_EQ(PrototypeDistance(seq, 11, proto.data(), false), -1);
    EXPECT_EQ(PrototypeDistance(seq, 1, proto.data(), false), 7141);  // round(1000 sqrt(51))
}

}  // namespace
