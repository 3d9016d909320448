// The synthesiser's building blocks: the stroke-font reader, raw stroke data, reproducibility
// of samples from a seed, writers' own letter shapes, links and the pen model's geometry.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "inksynth/Augment.h"
#include "inksynth/Hand.h"
#include "inksynth/InkPng.h"
#include "inksynth/OutlineFace.h"
#include "inksynth/SampleMaker.h"
#include "inksynth/StrokeFace.h"
#include "inksynth/TextComposer.h"

using namespace inksynth;

namespace {

// 95 glyphs: '!' .. '~' as a one-stroke bar, with real shapes for 'H', 'u', 'x' and 'i'.
std::string TinyFace(const std::string &wrapAfter = "") {
    std::string text;
    for (int c = 32; c < 127; ++c) {
        std::string rec;
        if (c == ' ')
            rec = "    1  1JZ";
        else if (c == 'H')  // two stems and a bar, cap height 12..-9
            rec = "    1  9F^KFK[ RYFY[ RKPYP";
        else if (c == 'u')
            rec = "    1  7I\\NMNXWX RWMW[";
        else if (c == 'x')
            rec = "    1  6I[NMW[ RWMN[";
        else if (c == 'i')  // stem and dot: the dot is a mark written late
            rec = "    1  6MWRMR[ RRFRG";
        else
            rec = "    1  3JZNMV[";
        text += rec + wrapAfter + "\n";
    }
    return text;
}

}  // namespace

TEST(StrokeFaceTest, ReadsGlyphsMarginsPenUpsAndMetrics) {
    std::string err;
    auto face = ParseHersheyFace(TinyFace(), &err);
    ASSERT_TRUE(face) << err;
    const Glyph *h = face->Find('H');
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->left, -12);  // 'F' - 'R'
    EXPECT_EQ(h->right, 12);  // '^' - 'R'
    ASSERT_EQ(h->strokes.size(), 3u);
    EXPECT_EQ(h->strokes[0][0].x, -7);   // 'K'
    EXPECT_EQ(h->strokes[0][0].y, -12);  // 'F'
    EXPECT_EQ(face->baseline, 9);        // bottom of 'x'
    EXPECT_EQ(face->xTop, -5);           // top of 'u'
    EXPECT_EQ(face->capTop, -12);        // top of 'H'
    EXPECT_EQ(face->Find('~')->strokes.size(), 1u);
    EXPECT_EQ(face->Find('\x7f'), nullptr);
    EXPECT_EQ(face->Find('\t'), nullptr);
}

TEST(StrokeFaceTest, RefusesBrokenFiles) {
    struct Case {
        const char *what;
        std::string text;
    };
    std::string good = TinyFace();
    const Case cases[] = {
        {"truncated record", good.substr(0, good.size() - 5)},
        {"too few glyphs", good.substr(0, good.find("\n") + 1)},
        {"letters in the count", "    1  xJZ\n" + good},
        {"empty", ""},
    };
    for (const Case &c : cases) {
        std::string err;
        EXPECT_FALSE(ParseHersheyFace(c.text, &err)) << c.what;
        EXPECT_FALSE(err.empty()) << c.what;
    }
}

TEST(InkTest, RawStrokeDataRoundTripsAndRefusesWhatTheKitRefuses) {
    Ink ink;
    ink.strokes = {{{1.4f, 2.6f}, {1.4f, 2.6f}, {5, 6}}, {{7, 8}}};
    std::vector<int16_t> raw = ToRawStrokes(ink);
    // The repeated point is dropped; each stroke ends in (-1, 0), the writing in (-1, -1).
    EXPECT_EQ(raw, (std::vector<int16_t>{1, 3, 5, 6, -1, 0, 7, 8, -1, 0, -1, -1}));
    Ink back;
    ASSERT_TRUE(FromRawStrokes(raw.data(), raw.size() / 2, back));
    ASSERT_EQ(back.strokes.size(), 2u);
    EXPECT_EQ(back.strokes[0].size(), 2u);
    struct Bad {
        const char *what;
        std::vector<int16_t> pairs;
    };
    const Bad bad[] = {
        {"no end", {1, 1, -1, 0}},
        {"empty stroke", {-1, 0, -1, -1}},
        {"end inside a stroke", {1, 1, -1, -1}},
        {"negative coordinate", {5, -3, -1, 0, -1, -1}},
        {"data after the end", {1, 1, -1, 0, -1, -1, 2, 2}},
    };
    for (const Bad &b : bad)
        EXPECT_FALSE(FromRawStrokes(b.pairs.data(), b.pairs.size() / 2, back)) << b.what;
}

TEST(InkTest, RawStrokeFileIsLittleEndianPairs) {
    Ink ink;
    ink.strokes = {{{258, 1}}};
    std::string path = ::testing::TempDir() + "/one.raw";
    ASSERT_TRUE(WriteRawStrokeFile(path, ink));
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, std::string("\x02\x01\x01\x00\xff\xff\x00\x00\xff\xff\xff\xff", 12));
    Ink back;
    std::string err;
    ASSERT_TRUE(ReadRawStrokeFile(path, back, &err)) << err;
    EXPECT_EQ(back.strokes[0][0].x, 258);
}

TEST(SampleMakerTest, ASampleDependsOnlyOnSeedAndIndex) {
    std::string err;
    auto face = ParseHersheyFace(TinyFace(), &err);
    ASSERT_TRUE(face) << err;
    TextSampler words = TextSampler::FromWords({"mix", "hit", "tux"}, {3, 2, 1}, 0.6f);
    SampleMaker a({{&*face, 1}}, nullptr, words, TextMix{}, 42);
    SampleMaker b({{&*face, 1}}, nullptr, words, TextMix{}, 42);
    SampleMaker c({{&*face, 1}}, nullptr, words, TextMix{}, 43);
    Sample late = a.Make(17);
    a.Make(3);
    Sample again = b.Make(17);  // a different history, the same sample
    EXPECT_EQ(late.text, again.text);
    EXPECT_EQ(ToRawStrokes(late.ink), ToRawStrokes(again.ink));
    EXPECT_NE(ToRawStrokes(c.Make(17).ink), ToRawStrokes(late.ink));
    EXPECT_FALSE(late.ink.strokes.empty());
}

TEST(SampleMakerTest, WriterOptionsLeaveOtherSamplesAsTheyWereAndChangeOnlyTheirOwnHabits) {
    std::string err;
    auto face = ParseHersheyFace(TinyFace(), &err);
    ASSERT_TRUE(face) << err;
    TextSampler words = TextSampler::FromWords({"Hux", "Hix"}, {1, 1}, 0.6f);
    SampleMaker plain({{&*face, 1}}, nullptr, words, TextMix{}, 7);
    SampleMaker off({{&*face, 1}}, nullptr, words, TextMix{}, 7);
    off.SetLongLoops(0);
    off.SetRoughShapes(0);
    SampleMaker loops({{&*face, 1}}, nullptr, words, TextMix{}, 7);
    loops.SetLongLoops(1);
    SampleMaker rough({{&*face, 1}}, nullptr, words, TextMix{}, 7);
    rough.SetRoughShapes(1);
    for (uint64_t i = 0; i < 5; ++i) {
        Sample a = plain.Make(i), b = off.Make(i), c = loops.Make(i), d = rough.Make(i);
        // Data sets made before the options existed are made again byte for byte.
        EXPECT_EQ(ToRawStrokes(a.ink), ToRawStrokes(b.ink));
        // The same writer, only with long loops or rough letters (a rough hand draws more
        // at random, so what it writes may differ).
        EXPECT_EQ(a.text, c.text);
        for (const Sample *s : {&c, &d}) {
            EXPECT_EQ(a.style.slantDeg, s->style.slantDeg);
            EXPECT_EQ(a.style.xHeight, s->style.xHeight);
        }
        EXPECT_GE(c.style.ascender, 1.15f);
        EXPECT_GE(c.style.descender, 1.15f);
        EXPECT_LE(c.style.widthScale, a.style.widthScale);
        EXPECT_EQ(a.style.ascender, d.style.ascender);
        EXPECT_GE(d.style.shapeVariation, 0.9f);
        EXPECT_GE(d.style.mixFaces, 0.25f);
        EXPECT_NE(ToRawStrokes(a.ink), ToRawStrokes(d.ink));
    }
}

// A folder of fetched hand fonts: handfonts.txt and NAME.woff files. Any outline font serves
// as the file (FreeType reads it by its contents); DejaVu Sans comes with fonts-dejavu-core.
TEST(FaceLibraryTest, HandFontsComeFromTheFolderListWithTheirCapitalsMark) {
    const std::string font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    ASSERT_TRUE(std::ifstream(font)) << font << " is missing (fonts-dejavu-core)";
    std::string dir = ::testing::TempDir() + "/handfonts";
    ::mkdir(dir.c_str(), 0777);
    for (const char *name : {"plain-hand", "caps-hand"}) {
        std::ifstream in(font, std::ios::binary);
        std::ofstream(dir + "/" + name + ".woff", std::ios::binary) << in.rdbuf();
    }
    std::ofstream(dir + "/handfonts.txt")
        << "# comment\n\nplain-hand   # trailing comment\ncaps-hand capitals\nnot-fetched\n";
    FaceLibrary faces("/nonexistent-hershey", dir);
    std::vector<std::string> names = faces.KnownNames();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(names.end() - 3, names.end()),
              (std::vector<std::string>{"plain-hand", "caps-hand", "not-fetched"}));

    std::string err;
    const StrokeFace *plain = faces.Get("plain-hand", &err);
    ASSERT_TRUE(plain) << err;
    EXPECT_FALSE(plain->capitalsOnly);
    EXPECT_GT(plain->XHeight(), 0);
    ASSERT_TRUE(plain->Find('a'));
    EXPECT_FALSE(plain->Find('a')->strokes.empty());
    EXPECT_EQ(faces.Get("plain-hand", &err), plain);  // loaded once
    const StrokeFace *caps = faces.Get("caps-hand", &err);
    ASSERT_TRUE(caps) << err;
    EXPECT_TRUE(caps->capitalsOnly);

    EXPECT_FALSE(faces.Get("not-fetched", &err));  // listed, but no file
    EXPECT_FALSE(err.empty());
    err.clear();
    EXPECT_FALSE(faces.Get("nobody", &err));
    EXPECT_NE(err.find("fetch-handfonts.sh"), std::string::npos) << err;
}

// The tiny face written as it stands, for the composer's layout tests.
class TextComposerTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string err;
        face_ = ParseHersheyFace(TinyFace(), &err);
        ASSERT_TRUE(face_) << err;
        hand_.emplace(Hand::Plain(*face_, nullptr));
        composer_.emplace(*hand_);
    }
    std::optional<StrokeFace> face_;
    std::optional<Hand> hand_;
    std::optional<TextComposer> composer_;
};

TEST_F(TextComposerTest, LongLoopsRaiseCapitalsOverAnUnchangedBody) {
    WriterStyle style;
    style.letterJitter = 0;
    WriterStyle loopy = style;
    Random draw(3);
    loopy.LengthenLoops(draw);
    loopy.widthScale = style.widthScale;
    Random r1(4), r2(4);
    Ink usual = composer_->Layout("Hu", style, r1), tall = composer_->Layout("Hu", loopy, r2);
    ASSERT_EQ(usual.strokes.size(), tall.strokes.size());
    // H's stems reach higher by the writer's ascender; u's body keeps its place and size.
    float rise = -1 - BoundsOf(usual.strokes[0]).minY;
    ASSERT_GT(rise, 0.1f);
    EXPECT_NEAR(-1 - BoundsOf(tall.strokes[0]).minY, rise * loopy.ascender, 1e-3f);
    Box u0 = BoundsOf(usual.strokes.back()), u1 = BoundsOf(tall.strokes.back());
    EXPECT_NEAR(u0.minY, u1.minY, 1e-4f);
    EXPECT_NEAR(u0.maxY, u1.maxY, 1e-4f);
}

TEST_F(TextComposerTest, DelayedMarksAreWrittenAfterTheWord) {
    WriterStyle style;
    style.letterJitter = 0;
    style.delayMarks = 1;
    Random rng(1);
    Ink ink = composer_->Layout("iu", style, rng);
    // i's stem, u's two strokes, then i's dot.
    ASSERT_EQ(ink.strokes.size(), 4u);
    EXPECT_LT(BoundsOf(ink.strokes.back()).maxY, -0.9f);  // the dot sits above the x-height
    style.delayMarks = 0;
    Ink inOrder = composer_->Layout("iu", style, rng);
    EXPECT_LT(BoundsOf(inOrder.strokes[1]).maxY, -0.9f);
}

TEST_F(TextComposerTest, PrintLettersLinkWhenTheWriterConnects) {
    WriterStyle style;
    style.letterJitter = 0;
    style.letterGap = 0.1f;
    Random rng(2);
    // "uu": two strokes each; a link runs the second stroke of the first u into the second u.
    EXPECT_EQ(composer_->Layout("uu", style, rng).strokes.size(), 4u);
    style.connect = 1;
    Ink linked = composer_->Layout("uu", style, rng);
    ASSERT_EQ(linked.strokes.size(), 3u);
    EXPECT_GT(BoundsOf(linked.strokes[1]).Width(), 1.0f);  // it spans both letters
    // Never across a word gap.
    EXPECT_EQ(composer_->Layout("u u", style, rng).strokes.size(), 4u);
}

bool SameStrokes(const HandGlyph &a, const HandGlyph &b) {
    if (a.strokes.size() != b.strokes.size())
        return false;
    for (size_t i = 0; i < a.strokes.size(); ++i) {
        if (a.strokes[i].size() != b.strokes[i].size())
            return false;
        for (size_t k = 0; k < a.strokes[i].size(); ++k)
            if (std::fabs(a.strokes[i][k].x - b.strokes[i][k].x) > 1e-4f ||
                std::fabs(a.strokes[i][k].y - b.strokes[i][k].y) > 1e-4f)
                return false;
    }
    return true;
}

TEST(HandTest, EachWriterFormsTheFacesLettersInOwnWay) {
    std::string err;
    auto face = ParseHersheyFace(TinyFace(), &err);
    ASSERT_TRUE(face) << err;
    Hand plain = Hand::Plain(*face, nullptr);
    // In x-height units: 'u' sits on the baseline and reaches the x-height.
    Box u;
    for (const Stroke &st : plain.Find('u')->strokes)
        for (Point p : st)
            u.Add(p);
    EXPECT_NEAR(u.minY, -1, 1e-5);
    EXPECT_NEAR(u.maxY, 0, 0.8);
    WriterStyle style;
    style.reverse = 0;
    Random rng(9);
    // No variation: the face's own glyphs.
    EXPECT_TRUE(
        SameStrokes(*Hand::Draw({{&*face, 1}}, nullptr, style, rng).Find('u'), *plain.Find('u')));
    style.shapeVariation = 0.8f;
    Hand a = Hand::Draw({{&*face, 1}}, nullptr, style, rng);
    Hand b = Hand::Draw({{&*face, 1}}, nullptr, style, rng);
    EXPECT_FALSE(SameStrokes(*a.Find('H'), *plain.Find('H')));
    EXPECT_FALSE(SameStrokes(*a.Find('H'), *b.Find('H')));
    // Still a letter of about the same size.
    Box h;
    for (const Stroke &st : a.Find('H')->strokes)
        for (Point p : st)
            h.Add(p);
    EXPECT_NEAR(h.maxY, 0, 0.4);
    EXPECT_NEAR(h.minY, plain.Find('H')->strokes[0][0].y, 0.6);
}

TEST(HandTest, CapitalsOnlyFacesWriteOnlyCapitals) {
    std::string err;
    auto face = ParseHersheyFace(TinyFace(), &err);
    auto caps = ParseHersheyFace(TinyFace(), &err);
    ASSERT_TRUE(face && caps) << err;
    caps->name = "caps";
    caps->capitalsOnly = true;
    WriterStyle style;
    style.mixFaces = 1;  // every letter borrowed if it could be
    for (uint64_t seed = 0; seed < 20; ++seed) {
        Random rng(seed);
        Hand hand = Hand::Draw({{&*face, 1}, {&*caps, 100}}, nullptr, style, rng);
        EXPECT_NE(hand.name(), "caps");
        // A capitals-only face is scaled by its cap height, the main face by its x-height: the
        // same 'u' glyph comes out at one size only when it is the main face's.
        EXPECT_TRUE(SameStrokes(*hand.Find('u'), *Hand::Plain(*face, nullptr).Find('u')));
    }
}

TEST(AugmentTest, PenSpeedSamplingFollowsTheStepAndKeepsTheEnds) {
    Ink ink;
    ink.strokes = {{{0, 0}, {100, 0}}};
    Random rng(5);
    ResampleByPenSpeed(ink, 4, 0, rng);
    const Stroke &s = ink.strokes[0];
    EXPECT_EQ(s.front().x, 0);
    EXPECT_EQ(s.back().x, 100);
    // Full speed in the middle: about 100 / 4 points, fewer than with a slower pen.
    EXPECT_GT(s.size(), 20u);
    EXPECT_LT(s.size(), 45u);
    Ink slow;
    slow.strokes = {{{0, 0}, {100, 0}}};
    ResampleByPenSpeed(slow, 2, 0, rng);
    EXPECT_GT(slow.strokes[0].size(), s.size());
}

TEST(AugmentTest, ShearLeansTopsToTheRight) {
    Ink ink;
    ink.strokes = {{{0, 0}, {0, -10}}};
    Shear(ink, 45);
    EXPECT_NEAR(ink.strokes[0][1].x, 10, 1e-4);
    EXPECT_EQ(ink.strokes[0][0].x, 0);
}

TEST(InkPngTest, WritesAPngFile) {
    Ink ink;
    ink.strokes = {{{0, 0}, {30, 10}}};
    std::string path = ::testing::TempDir() + "/ink.png";
    std::string err;
    ASSERT_TRUE(WriteInkPng(path, ink, PngOptions{}, &err)) << err;
    std::ifstream in(path, std::ios::binary);
    char sig[8];
    in.read(sig, 8);
    EXPECT_EQ(std::string(sig, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    Ink empty;
    EXPECT_FALSE(WriteInkPng(path, empty, PngOptions{}, &err));
}

namespace {

// A picture with thick strokes drawn by a callback deciding which pixels are ink.
template <typename F>
std::vector<unsigned char> Picture(int w, int h, F ink) {
    std::vector<unsigned char> img(size_t(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img[size_t(y) * w + x] = ink(x, y) ? 1 : 0;
    return img;
}

}  // namespace

TEST(OutlineFaceTest, ABarBecomesOneStrokeDrawnFromTheLeft) {
    auto img = Picture(40, 12, [](int x, int y) { return x >= 3 && x <= 36 && y >= 4 && y <= 7; });
    std::vector<Stroke> s = TraceCentreLines(img, 40, 12);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_LT(s[0].front().x, s[0].back().x);
    EXPECT_GT(s[0].back().x - s[0].front().x, 25);
    for (const Point &p : s[0])
        EXPECT_NEAR(p.y, 5.5, 1.6);
}

TEST(OutlineFaceTest, ACrossIsTwoStraightStrokesAndARingOneClosedStroke) {
    auto cross = Picture(41, 41, [](int x, int y) {
        return (std::abs(x - 20) <= 1 && y >= 4 && y <= 36) ||
               (std::abs(y - 20) <= 1 && x >= 4 && x <= 36);
    });
    std::vector<Stroke> s = TraceCentreLines(cross, 41, 41);
    ASSERT_EQ(s.size(), 2u);  // straight through the crossing, not four arms
    for (const Stroke &st : s)
        EXPECT_GT(PathLength(st), 25);

    auto ring = Picture(41, 41, [](int x, int y) {
        double r = std::hypot(x - 20, y - 20);
        return r >= 11 && r <= 14;
    });
    s = TraceCentreLines(ring, 41, 41);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_LT(std::hypot(s[0].front().x - s[0].back().x, s[0].front().y - s[0].back().y), 3);
    EXPECT_GT(PathLength(s[0]), 60);  // about 2 pi 12.5
}
