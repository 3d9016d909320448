// The character engine's recognition rules, on small hand-made dictionaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "EngineFixtures.h"
#include "EngineState.h"

using namespace chareng_test;
using chartrain::DictionarySpec;
using chartrain::WriteDictionary;

namespace {

std::vector<uint16_t> Codes(size_t n, uint16_t first) {
    std::vector<uint16_t> c(n);
    for (size_t i = 0; i < n; ++i)
        c[i] = static_cast<uint16_t>(first + i);
    return c;
}

// Twelve shapes, all in group 6 (range 0x100), codes 'A'...
DictionarySpec TwelveClasses(const TestProjection &p) {
    return SpecFor(p, Shapes(), std::vector<int>(12, 6), Codes(12, 'A'));
}

class CharEngineTest : public ::testing::Test {
  protected:
    TestProjection proj{32};
    // The same projection scaled down, so that every test shape is a candidate for every other.
    TestProjection near{32, proj.divisor * 50};
};

TEST_F(CharEngineTest, RecognisesTheShapeOfItsOwnTemplateFirst) {
    Engine e(WriteDictionary(TwelveClasses(proj)));
    ASSERT_NE(e.h, nullptr);
    const auto shapes = Shapes();
    for (size_t i = 0; i < shapes.size(); ++i) {
        const auto r = e.Recog(shapes[i]);
        ASSERT_FALSE(r.codes.empty());
        EXPECT_EQ(r.codes[0], 'A' + i) << "shape " << i;
    }
}

TEST_F(CharEngineTest, CandidateCountOutsideTheRangeSelectsTenAndZeroGivesNothing) {
    DictionarySpec spec = TwelveClasses(near);
    Engine e(WriteDictionary(spec));
    struct Row {
        int32_t count;
        size_t expected;
    } rows[] = {{60, 10}, {-1, 10}, {0, 0}, {3, 3}, {50, 12}};
    for (const Row &row : rows) {
        e.Set(kCharParamCandidates, row.count);
        EXPECT_EQ(e.Recog(Shapes()[0]).codes.size(), row.expected) << "count " << row.count;
    }
}

TEST_F(CharEngineTest, GestureClassIsOnlyOutputAsTheFirstCandidate) {
    // Six digits in group 0, six gestures in group 5.
    std::vector<int> groups = {0, 0, 0, 0, 0, 0, 5, 5, 5, 5, 5, 5};
    DictionarySpec spec = SpecFor(near, Shapes(), groups, Codes(12, 'a'));
    Engine e(WriteDictionary(spec));
    std::vector<uint16_t> specials(kCharSpecialCodes);
    for (int i = 0; i < kCharSpecialCodes; ++i)
        specials[i] = static_cast<uint16_t>(i + 1);
    CharEngineSetParam(e.h, kCharParamSpecial, specials.data());
    e.Set(kCharParamCandidates, 20);

    e.Set(kCharParamRange, 0x80);
    auto r = e.Recog(Shapes()[7]);
    ASSERT_EQ(r.codes.size(), 1u) << "gestures only: at most one code";
    EXPECT_EQ(r.codes[0], 2) << "gesture class 1 has special code 2";

    e.Set(kCharParamRange, 0x81);
    r = e.Recog(Shapes()[7]);
    ASSERT_EQ(r.codes.size(), 7u) << "the first gesture, then the six digits";
    EXPECT_EQ(r.codes[0], 2);
    EXPECT_EQ(std::count_if(r.codes.begin(), r.codes.end(), [](uint16_t c) { return c <= 50; }), 1);

    r = e.Recog(Shapes()[1]);  // a digit wins: no gesture may follow
    EXPECT_TRUE(std::all_of(r.codes.begin(), r.codes.end(), [](uint16_t c) { return c >= 'a'; }));

    e.Set(kCharParamSpecialAny, 1);
    e.Set(kCharParamRange, 0x80);
    EXPECT_EQ(e.Recog(Shapes()[7]).codes.size(), 6u) << "parameter 5 lets gestures anywhere";

    CharEngineSetParam(e.h, kCharParamSpecial, nullptr);
    EXPECT_TRUE(e.Recog(Shapes()[7]).codes.empty()) << "no special codes: gestures are skipped";
}

TEST_F(CharEngineTest, ClassesWithTheSameDisplayCodeGiveOneOutput) {
    std::vector<uint16_t> codes = Codes(12, 'A');
    codes[1] = codes[0];
    DictionarySpec spec = SpecFor(near, Shapes(), std::vector<int>(12, 6), codes);
    Engine e(WriteDictionary(spec));
    e.Set(kCharParamCandidates, 50);
    const auto r = e.Recog(Shapes()[0]);
    EXPECT_EQ(r.codes.size(), 11u);
    EXPECT_EQ(std::count(r.codes.begin(), r.codes.end(), 'A'), 1);
}

TEST_F(CharEngineTest, CodeTablesFollowWidthBelowAndDisplayAboveTheSpecialRange) {
    // Class 0 a digit (group 0), class 1 a character (group 6).
    std::vector<Pairs> shapes = {Shapes()[0], Shapes()[1]};
    DictionarySpec spec = SpecFor(proj, shapes, {0, 6}, {'1', 0x53D1});
    spec.altTraditional = {0xFF11, 0x767C};
    spec.altSimplified = {'1', 0x53D1};
    Engine e(WriteDictionary(spec));
    e.Set(kCharParamRange, 0x101);
    struct Row {
        int32_t display, width;
        uint16_t digit, character, characterSecondary;
    } rows[] = {
        {0, 1, '1', 0x53D1, 0x53D1},
        {2, 1, '1', 0x767C, 0x53D1},     // traditional display leaves the digit alone
        {0, 0, 0xFF11, 0x53D1, 0x53D1},  // full width leaves the character alone
        {1, 1, '1', 0x53D1, 0x53D1},
    };
    for (const Row &row : rows) {
        e.Set(kCharParamDisplay, row.display);
        e.Set(kCharParamWidth, row.width);
        auto r = e.Recog(shapes[0]);
        ASSERT_FALSE(r.codes.empty());
        EXPECT_EQ(r.codes[0], row.digit);
        EXPECT_EQ(r.secondary[0], '1') << "secondary below the special range: T1";
        r = e.Recog(shapes[1]);
        ASSERT_FALSE(r.codes.empty());
        EXPECT_EQ(r.codes[0], row.character);
        EXPECT_EQ(r.secondary[0], row.characterSecondary) << "secondary above: T3";
    }
}

TEST_F(CharEngineTest, AllowedListKeepsOnlyItsCodes) {
    Engine e(WriteDictionary(TwelveClasses(near)));
    e.Set(kCharParamCandidates, 50);
    const uint16_t allowed[] = {'C', 'K', 0};
    CharEngineSetParam(e.h, kCharParamAllowed, allowed);
    auto r = e.Recog(Shapes()[0]);
    std::sort(r.codes.begin(), r.codes.end());
    EXPECT_EQ(r.codes, (std::vector<uint16_t>{'C', 'K'}));
    CharEngineSetParam(e.h, kCharParamAllowed, nullptr);
    EXPECT_EQ(e.Recog(Shapes()[0]).codes.size(), 12u);
}

TEST_F(CharEngineTest, SubLanguageEntryRestrictsGroupsSixAndSeven) {
    DictionarySpec spec = TwelveClasses(near);
    spec.hasSublang = true;
    spec.sublang = {{'A', 'B', 'C'}, {'D', 'E'}};
    Engine e(WriteDictionary(spec));
    e.Set(kCharParamCandidates, 50);
    struct Row {
        int32_t value;
        size_t expected;
    } rows[] = {{0, 3}, {1, 2}, {kCharNoSublang, 12}, {2, 12}, {-1, 12}};
    for (const Row &row : rows) {
        e.Set(kCharParamSublang, row.value);
        EXPECT_EQ(e.Recog(Shapes()[0]).codes.size(), row.expected) << "sub-language " << row.value;
    }
}

TEST_F(CharEngineTest, RotatedPassFindsAClassTheUprightPassMisses) {
    // One class: a horizontal line. The writing is the same line turned by 45 degrees.
    DictionarySpec spec = SpecFor(proj, {Line(10, 100, 210, 100)}, {6}, {'H'});
    const Pairs turned = Line(10, 10, 210, 210);
    {
        Engine upright(WriteDictionary(spec));
        ASSERT_TRUE(upright.Recog(turned).codes.empty())
            << "precondition: the upright pass finds nothing";
        upright.Set(kCharParamRotations, 2);
        EXPECT_TRUE(upright.Recog(turned).codes.empty()) << "without T0 no rotated pass runs";
    }
    spec.calibration = {{0, 100}};
    Engine e(WriteDictionary(spec));
    e.Set(kCharParamRotations, 3);  // not 2, 4 or 7: no rotation
    EXPECT_TRUE(e.Recog(turned).codes.empty());
    e.Set(kCharParamRotations, 2);
    const auto r = e.Recog(turned);
    ASSERT_EQ(r.codes.size(), 1u);
    EXPECT_EQ(r.codes[0], 'H');
}

TEST_F(CharEngineTest, CalibrationScoresAreTheFixedPointFormula) {
    DictionarySpec spec = TwelveClasses(near);
    for (int c = 0; c < 12; ++c)
        spec.calibration.push_back(
            {static_cast<int16_t>(100 + 37 * c), static_cast<int16_t>(50 + 11 * c)});
    Engine e(WriteDictionary(spec));
    e.Set(kCharParamCandidates, 50);
    e.Set(kCharParamNoCalibrate, 1);
    const auto raw = e.Recog(Shapes()[4]);
    e.Set(kCharParamNoCalibrate, 0);
    const auto cal = e.Recog(Shapes()[4]);
    ASSERT_FALSE(raw.codes.empty());
    ASSERT_EQ(raw.codes, cal.codes) << "calibration keeps the order";
    int64_t sum = 0;
    for (int32_t s : raw.scores)
        sum += s;
    sum += static_cast<int64_t>(50 - raw.scores.size()) * raw.scores[0];
    for (size_t i = 0; i < raw.codes.size(); ++i) {
        const int c = raw.codes[i] - 'A';
        const int64_t a = 100 + 37 * c, b = 50 + 11 * c, d = raw.scores[i];
        const int64_t u = (std::max<int64_t>(d - a, 0) * 65536) / b;
        const int64_t v = (d * 65536) / sum;
        const int64_t expected = (((u & 0xFFFF) * v) >> 15) + (u >> 16) * v * 2;
        EXPECT_EQ(cal.scores[i], expected) << "candidate " << i;
    }
}

TEST_F(CharEngineTest, EuclideanRankingWhenAMultiTemplateGroupIsSearched) {
    DictionarySpec spec = TwelveClasses(proj);
    // Group 0 of type 3 with one class of two templates.
    spec.groups[0].AddMulti({proj.Project(Shapes()[2]), proj.Project(Shapes()[3])});
    spec.codes.insert(spec.codes.begin(), 'z');
    spec.divisor = proj.divisor;
    Engine e(WriteDictionary(spec));
    e.Set(kCharParamRange, 0x101);
    e.Set(kCharParamCandidates, 50);
    const Pairs writing = Shapes()[3];
    const auto r = e.Recog(writing);
    ASSERT_FALSE(r.codes.empty());
    const auto y = proj.Project(writing);
    for (size_t i = 0; i < r.codes.size(); ++i) {
        // Its best template: class 'z' matches through its second template exactly.
        std::vector<uint8_t> t = r.codes[i] == 'z' ? proj.Project(Shapes()[3])
                                                   : proj.Project(Shapes()[r.codes[i] - 'A']);
        int32_t d = 0;
        for (int j = 0; j < proj.dim; ++j)
            d += (y[j] - t[j]) * (y[j] - t[j]);
        EXPECT_EQ(r.scores[i], d) << "candidate " << i;
    }
}

TEST_F(CharEngineTest, MqdfScoreFollowsTheRecordFormula) {
    const Pairs writing = Shapes()[5];
    const auto y = proj.Project(writing);
    chartrain::MqdfRecord rec;
    rec.kind = 3;
    rec.constant = 77;
    rec.mean = y;
    for (int j = 0; j < proj.dim; j += 3)
        rec.mean[j] = static_cast<uint8_t>(std::clamp(rec.mean[j] + (j % 2 ? 9 : -7), 0, 255));
    rec.lambdas = {900, 400};
    rec.vectors.assign(2, std::vector<int8_t>(proj.dim, 0));
    for (int j = 0; j < proj.dim; ++j) {
        rec.vectors[0][j] = static_cast<int8_t>(j % 2 ? 20 : -20);
        rec.vectors[1][j] = static_cast<int8_t>(j % 3 ? 15 : -30);
    }
    DictionarySpec spec;
    spec.dim = proj.dim;
    spec.divisor = proj.divisor;
    spec.projection = proj.weights;
    spec.codes = {'M'};
    spec.delta[3] = 13;
    spec.eigenCounts[3] = 2;
    spec.groups[6].AddMqdfClass({rec});
    Engine e(WriteDictionary(spec));
    const auto r = e.Recog(writing);
    ASSERT_EQ(r.codes.size(), 1u);
    int64_t fine = 0, P = 0, Q = 0;
    for (int j = 0; j < proj.dim; ++j)
        fine += (y[j] - rec.mean[j]) * (y[j] - rec.mean[j]);
    ASSERT_LT(fine, 65535) << "precondition: within the 16-bit distance";
    for (int i = 0; i < 2; ++i) {
        int64_t p = 0;
        for (int j = 0; j < proj.dim; ++j)
            p += (y[j] - rec.mean[j]) * rec.vectors[i][j];
        P += p * p;
        Q += p * p / rec.lambdas[i];
    }
    const int64_t expected = ((8 * fine - (P >> 11)) / 13 + (Q >> 11) + 77) * 10000 / 9900;
    EXPECT_EQ(r.scores[0], std::max<int64_t>(expected, 0));
}

TEST_F(CharEngineTest, LongWritingIsCutInTheCallersBuffer) {
    Engine e(WriteDictionary(TwelveClasses(proj)));
    // 1500 points of a circle: far more than 4096 bytes.
    Pairs longWriting;
    for (int i = 0; i < 1500; ++i) {
        const double a = 2 * 3.14159265358979 * i / 1500;
        longWriting.push_back(static_cast<int16_t>(110 + std::lround(100 * std::cos(a))));
        longWriting.push_back(static_cast<int16_t>(110 + std::lround(100 * std::sin(a))));
    }
    longWriting.insert(longWriting.end(), {-1, 0, -1, -1});
    Pairs expectedCut(longWriting.begin(), longWriting.begin() + 2044);
    expectedCut.insert(expectedCut.end(), {-1, 0, -1, -1});

    Pairs buffer = longWriting;
    uint16_t codes[kCharMaxCandidates + 1];
    const int n = CharEngineRecog(e.h, buffer.data(), codes, nullptr, nullptr);
    EXPECT_EQ(buffer[2044], -1);
    EXPECT_EQ(buffer[2045], 0);
    EXPECT_EQ(buffer[2046], -1);
    EXPECT_EQ(buffer[2047], -1);
    EXPECT_EQ(buffer[2048], longWriting[2048]) << "nothing after byte 4096 is touched";
    const auto cut = e.Recog(expectedCut);
    ASSERT_EQ(static_cast<size_t>(n), cut.codes.size());
    EXPECT_TRUE(std::equal(cut.codes.begin(), cut.codes.end(), codes));
}

TEST_F(CharEngineTest, RecognitionLeavesTheScratchPoolAsItFoundIt) {
    DictionarySpec spec = TwelveClasses(proj);
    spec.calibration.assign(12, {10, 10});
    Engine e(WriteDictionary(spec));
    e.Set(kCharParamRotations, 7);
    auto *st = static_cast<chareng::EngineState *>(e.h);
    for (const Pairs &s : Shapes()) {
        e.Recog(s);
        EXPECT_EQ(st->pool.used, 0u);
    }
}

TEST_F(CharEngineTest, NullArgumentsGiveNoCandidates) {
    Engine e(WriteDictionary(TwelveClasses(proj)));
    Pairs p = Shapes()[0];
    uint16_t codes[kCharMaxCandidates + 1];
    EXPECT_EQ(CharEngineRecog(nullptr, p.data(), codes, nullptr, nullptr), 0);
    EXPECT_EQ(CharEngineRecog(e.h, nullptr, codes, nullptr, nullptr), 0);
    EXPECT_EQ(CharEngineRecog(e.h, p.data(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(CharEngineSetParam(e.h, 13, nullptr), 0) << "ids above 12 are ignored";
    EXPECT_EQ(CharEngineEnd(e.h), 1);
}

TEST_F(CharEngineTest, StrokeMatcherBreaksATieBetweenTwoIdenticalTemplates) {
    // Two classes with the same template; only the second has the writing's prototype.
    const Pairs writing = Polyline({{20, 20}, {200, 20}, {20, 200}, {200, 200}});
    DictionarySpec spec = SpecFor(proj, {writing, writing}, {6, 6}, {'P', 'Q'});
    chartrain::Prototype wrong, right;
    wrong.points = {{0, 0}, {0, 63}, {0, 63}, {63, 63}};
    right.points = {{0, 0}, {63, 0}, {63, 0}, {0, 63}, {0, 63}, {63, 63}};
    spec.subModel = {{{wrong}}, {{right}}};
    Engine e(WriteDictionary(spec));
    const auto r = e.Recog(writing);
    ASSERT_EQ(r.codes.size(), 2u);
    EXPECT_EQ(r.codes[0], 'Q');
}

}  // namespace
