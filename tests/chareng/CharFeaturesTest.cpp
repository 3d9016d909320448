// Properties the raw features are designed to have.
#include <gtest/gtest.h>

#include <algorithm>

#include "EngineFixtures.h"

using namespace chareng_test;
using chareng::kGridFeatureCount;
using chareng::kRawFeatureCount;

namespace {

Pairs Reversed(const Pairs &p) {
    // Every stroke's points in reverse order; strokes keep their order.
    Pairs out, stroke;
    for (size_t i = 0; i + 1 < p.size(); i += 2) {
        if (p[i] == -1) {
            for (size_t k = stroke.size(); k >= 2; k -= 2) {
                out.push_back(stroke[k - 2]);
                out.push_back(stroke[k - 1]);
            }
            stroke.clear();
            out.push_back(p[i]);
            out.push_back(p[i + 1]);
            if (p[i + 1] == -1)
                break;
            continue;
        }
        stroke.push_back(p[i]);
        stroke.push_back(p[i + 1]);
    }
    return out;
}

int MaxDifference(const std::vector<int16_t> &a, const std::vector<int16_t> &b, int from, int to) {
    int d = 0;
    for (int i = from; i < to; ++i)
        d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

TEST(CharFeaturesTest, ReversingAOneStrokeWritingExchangesTheBlockHalves) {
    for (const Pairs &shape : {Shapes()[0], Shapes()[2], Shapes()[6]}) {
        const auto r1 = Raw(shape);
        std::vector<int16_t> swapped(kRawFeatureCount);
        chareng::ReverseGridFeatures(r1.data(), swapped.data());
        const auto back = Raw(Reversed(shape));
        EXPECT_LE(MaxDifference(swapped, back, 0, kGridFeatureCount), 2);
        EXPECT_EQ(MaxDifference(r1, back, kGridFeatureCount, kRawFeatureCount), 0)
            << "the rendering does not depend on pen direction";
    }
}

TEST(CharFeaturesTest, SizeAndPlaceOfTheWritingDoNotMatter) {
    const Pairs small = Polyline({{20, 20}, {110, 200}, {200, 20}});
    const Pairs large = Polyline({{1000, 2000}, {1450, 2900}, {1900, 2000}});
    const auto a = Raw(small), b = Raw(large);
    EXPECT_LE(MaxDifference(a, b, 0, kRawFeatureCount), 40) << "out of 2048";
    EXPECT_NE(a, Raw(Shapes()[0]));
}

TEST(CharFeaturesTest, EmptyWritingHasOnlyTheConstantFeature) {
    const auto raw = Raw({-1, 0, -1, -1});
    for (int i = 0; i + 1 < kRawFeatureCount; ++i)
        ASSERT_EQ(raw[i], 0) << i;
    EXPECT_EQ(raw[kRawFeatureCount - 1], chareng::kConstantFeature);
    const auto dot = Raw({50, 50, -1, 0, -1, -1});
    EXPECT_EQ(dot[kRawFeatureCount - 1], chareng::kConstantFeature);
}

}  // namespace
