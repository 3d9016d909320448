// The letter and gesture recognisers driven directly, on resource sets written to a temporary
// folder with hand-made dictionaries (so that every expectation follows from the shapes): the
// call keys, sub-languages, the Tibetan map, resource failures and the engine's input rules.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ConfigAssistant.h"
#include "EngineFixtures.h"
#include "HwrRecogGesture.h"
#include "HwrRecogLetter.h"
#include "KitTestSupport.h"
#include "LibraryContext.h"
#include "PluginResults.h"
#include "ReadOnlyResManager.h"
#include "TibetanMap.h"
#include "Utf16.h"

using namespace chareng_test;
using namespace hwrlocal;
using chartrain::DictionarySpec;
using chartrain::WriteDictionary;

namespace {

qvcommon::ConfigAssistant Config(const std::string &text) {
    qvcommon::ConfigAssistant c;
    EXPECT_TRUE(c.ParseConfig(text)) << text;
    return c;
}

std::string Text(uint16_t code) {
    return Utf16ToUtf8(&code, 1);
}

std::string Bytes(const std::vector<uint8_t> &image) {
    return std::string(image.begin(), image.end());
}

struct Answer {
    int code = 0;
    std::vector<std::string> texts;
};

Answer Recognise(HwrRecogEngine &rec, const Pairs &writing, const std::string &config) {
    HwrRecogResult result{};
    Answer a;
    a.code = rec.Recog(writing.data(), static_cast<uint32_t>(writing.size() * 2), Config(config),
                       &result);
    for (uint32_t i = 0; i < result.count; ++i) {
        EXPECT_EQ(result.items[i].values, nullptr);
        EXPECT_EQ(result.items[i].value_count, 0u);
        a.texts.push_back(result.items[i].text);
    }
    qvcommon::FreeRecogResult(&result);
    return a;
}

// Digit classes '0'..'5' (group 0, full-width forms in T2) and six characters U+4E00.. (group
// 6, traditional forms U+4E80.. in T2, simplified forms U+4F00.. in T3), one shape each.
constexpr uint16_t kHan = 0x4E00, kHanTraditional = 0x4E80, kHanSimplified = 0x4F00;

DictionarySpec MixedSet(const TestProjection &proj) {
    std::vector<int> groups;
    std::vector<uint16_t> codes;
    for (int i = 0; i < 12; ++i) {
        groups.push_back(i < 6 ? 0 : 6);
        codes.push_back(static_cast<uint16_t>(i < 6 ? '0' + i : kHan + i));
    }
    DictionarySpec spec = SpecFor(proj, Shapes(), groups, codes);
    for (int i = 0; i < 12; ++i) {
        spec.altTraditional.push_back(
            static_cast<uint16_t>(i < 6 ? 0xFF10 + i : kHanTraditional + i));
        spec.altSimplified.push_back(static_cast<uint16_t>(i < 6 ? '0' + i : kHanSimplified + i));
    }
    return spec;
}

class LetterRecogniser : public testing::Test {
  protected:
    void SetUp() override {
        qvcommon::LibraryContext::Instance().SetDataPath(dir.Path() + "/");
        qvcommon::LibraryContext::Instance().SetFileFlag("none");
    }
    // A letter resource set under `prefix`.
    void WriteSet(const std::string &prefix, const std::string &conf,
                  const std::vector<uint8_t> &dictionary) {
        dir.Write(prefix + "letter.conf", conf);
        dir.Write(prefix + "letter.dic", Bytes(dictionary));
    }

    kit_test::SysSession sys;
    kit_test::TempDir dir;
    // Scaled so that every test shape is a candidate for every other.
    TestProjection near{32, TestProjection(32).divisor * 50};
};

TEST_F(LetterRecogniser, CallKeysReachTheEngine) {
    WriteSet("", "language: chinese\nrecogRange: gb\n", WriteDictionary(MixedSet(near)));
    HwrRecogLetter rec;
    ASSERT_EQ(rec.InitEngine(dir.Path(), "", false), 0);
    const auto shapes = Shapes();
    struct Row {
        int shape;
        const char *config;
        int code;
        size_t count;       // number of candidates
        std::string first;  // the first candidate's text, when there is one
    } rows[] = {
        {0, "candnum=10,fullhalf=half", 0, 10, "0"},
        // Widths and display codes are compared exactly; absent means full width.
        {0, "candnum=10,fullhalf=full", 0, 10, Text(0xFF10)},
        {0, "candnum=10,fullhalf=HALF", 0, 10, Text(0xFF10)},
        {0, "candnum=10", 0, 10, Text(0xFF10)},
        {6, "candnum=10,dispcode=tosimplified", 0, 10, Text(kHanSimplified + 6)},
        {6, "candnum=10,dispcode=totraditional", 0, 10, Text(kHanTraditional + 6)},
        {6, "candnum=10,dispcode=ToSimplified", 0, 10, Text(kHan + 6)},
        // The width tables serve only the classes below the gesture range.
        {6, "candnum=10,fullhalf=full", 0, 10, Text(kHan + 6)},
        {0, "candnum=10,fullhalf=half,recogrange=number", 0, 6, "0"},
        {6, "candnum=10,recogrange=gb", 0, 6, Text(kHan + 6)},
        {0, "candnum=10,recogrange=all", 0, 10, Text(0xFF10)},
        {0, "candnum=3", 0, 3, Text(0xFF10)},
        {0, "candnum=3x", 0, 3, Text(0xFF10)},
        // Without candnum the engine is asked for no candidate at all.
        {0, "fullhalf=half", 0, 0, ""},
        // The kit's key tables allow up to 10; a plug-in caller may ask the engine for its 50.
        {0, "candnum=30,fullhalf=half", 0, 12, "0"},
        {0, "candnum=60,fullhalf=half", 0, 10, "0"},
        {0, "candnum=10,recogrange=big5", HWR_ERR_NOT_SUPPORTED, 0, ""},
        {0, "candnum=10,recogrange=number+nosuch", HWR_ERR_NOT_SUPPORTED, 0, ""},
    };
    for (const Row &r : rows) {
        sys.ClearLog();
        const Answer a = Recognise(rec, shapes[r.shape], r.config);
        EXPECT_EQ(a.code, r.code) << r.config;
        EXPECT_EQ(a.texts.size(), r.count) << r.config;
        if (!a.texts.empty()) {
            EXPECT_EQ(a.texts[0], r.first) << r.config;
        }
        if (r.code == 0 && r.count == 0) {
            EXPECT_TRUE(sys.Logged("[vra_hwr_local][HwrRecogLetter::Recog] 0 result returned."));
        }
    }
    EXPECT_EQ(rec.UninitEngine(), 0);
}

TEST_F(LetterRecogniser, OpenSlantAddsTheRotatedPasses) {
    // One class, a horizontal line, with calibration (rotations need it); the writing is the
    // same line turned by 45 degrees, which the upright pass does not match.
    TestProjection proj(32);
    DictionarySpec spec = SpecFor(proj, {Line(10, 100, 210, 100)}, {6}, {kHan});
    spec.calibration = {{0, 100}};
    WriteSet("", "language: chinese\nrecogRange: gb\n", WriteDictionary(spec));
    HwrRecogLetter rec;
    ASSERT_EQ(rec.InitEngine(dir.Path(), "", false), 0);
    const Pairs turned = Line(10, 10, 210, 210);
    EXPECT_TRUE(Recognise(rec, turned, "candnum=10").texts.empty());
    EXPECT_TRUE(Recognise(rec, turned, "candnum=10,openslant=Yes").texts.empty());
    EXPECT_EQ(Recognise(rec, turned, "candnum=10,openslant=yes").texts,
              std::vector<std::string>{Text(kHan)});
    // Parameters persist in the engine, so each call sets the slant anew.
    EXPECT_TRUE(Recognise(rec, turned, "candnum=10").texts.empty());
}

TEST_F(LetterRecogniser, SubLanguageScriptsNeedAKnownSublang) {
    // Sub-language entry 11 (english) allows only the class of shape 3; every other entry all.
    DictionarySpec spec = SpecFor(near, Shapes(), std::vector<int>(12, 6), {});
    for (int i = 0; i < 12; ++i)
        spec.codes.push_back(static_cast<uint16_t>('A' + i));
    spec.hasSublang = true;
    for (int entry = 0; entry < 65; ++entry)
        spec.sublang.push_back(entry == 11 ? std::vector<uint16_t>{'D'} : spec.codes);
    WriteSet("la_", "language: latin\nrecogRange: latin_uppercase\n", WriteDictionary(spec));
    WriteSet("lc_", "language: Latin\nrecogRange: latin_uppercase\n", WriteDictionary(spec));
    // The three best for shape 0 when nothing restricts them.
    std::vector<std::string> all;
    {
        HwrRecogLetter rec;
        ASSERT_EQ(rec.InitEngine(dir.Path(), "lc_", false), 0);
        all = Recognise(rec, Shapes()[0], "candnum=3").texts;
        ASSERT_EQ(all.size(), 3u);
        ASSERT_EQ(all[0], "A");
    }
    const std::vector<std::string> none, onlyD{"D"};
    struct Row {
        const char *prefix;
        const char *config;
        int code;
        const std::vector<std::string> &texts;
    } rows[] = {
        {"la_", "candnum=3", HWR_ERR_NO_SUBLANG, none},
        {"la_", "candnum=3,sublang=English", 0, onlyD},
        {"la_", "candnum=3,sublang=afrikaans", 0, all},
        {"la_", "candnum=3,sublang=klingon", HWR_ERR_CONFIG, none},
        // "Latin" is not the script's name: no sub-language needed, none chosen.
        {"lc_", "candnum=3,sublang=english", 0, all},
    };
    for (const Row &r : rows) {
        HwrRecogLetter rec;
        ASSERT_EQ(rec.InitEngine(dir.Path(), r.prefix, false), 0) << r.prefix;
        sys.ClearLog();
        const Answer a = Recognise(rec, Shapes()[0], r.config);
        EXPECT_EQ(a.code, r.code) << r.prefix << r.config;
        EXPECT_EQ(a.texts, r.texts) << r.prefix << r.config;
        EXPECT_EQ(sys.Logged("[vra_hwr_local][HwrRecogLetter::ValidateSublang] Sublang <klingon> "
                             "invalid."),
                  r.code == HWR_ERR_CONFIG);
    }
}

TEST_F(LetterRecogniser, SublangValuesArePositionsInTheScriptsList) {
    struct Row {
        const char *language;
        const char *config;
        int code;
        int32_t value;
    } rows[] = {
        {"arabic", "sublang=uyghur", 0, 1},     {"cyrillic", "sublang=UZBEK", 0, 16},
        {"cyrillic", "sublang=russian", 0, 13}, {"latin", "sublang=zulu", 0, 64},
        {"latin", "sublang=english", 0, 11},    {"latin", "candnum=1", HWR_ERR_NO_SUBLANG, -1},
        {"cyrillic", "sublang=english", 3, -1}, {"Arabic", "candnum=1", 0, -1},
        {"english", "sublang=english", 0, -1},
    };
    for (const Row &r : rows) {
        dir.Write("xx_letter.conf", std::string("language: ") + r.language + "\n");
        HwrRecogLetter rec;
        ASSERT_EQ(rec.ReadLangFromConfRes("xx_"), 0);
        int32_t value = -1;
        EXPECT_EQ(rec.ValidateSublang(Config(r.config), value), r.code)
            << r.language << " " << r.config;
        EXPECT_EQ(value, r.value) << r.language << " " << r.config;
    }
}

TEST_F(LetterRecogniser, TibetanCandidatesExpandThroughTheMap) {
    // Shapes 0 and 1 in group 7 (range word tibetan), codes U+0F40 and U+0F42.
    const DictionarySpec spec = SpecFor(near, {Shapes()[0], Shapes()[1]}, {7, 7}, {0x0F40, 0x0F42});
    WriteSet("bo_", "language: tibetan\nrecogRange: Tibetan\n", WriteDictionary(spec));
    // The second entry is malformed and skipped, so U+0F42 stands for itself.
    dir.Write("bo_tibetanmap.txt", "0f40 0f400f71\n0f42 0f4g\n");
    WriteSet("en_", "language: english\nrecogRange: tibetan+x\n", WriteDictionary(spec));
    dir.Write("en_tibetanmap.txt", "0f40 0041\n");
    {
        HwrRecogLetter rec;
        ASSERT_EQ(rec.InitEngine(dir.Path(), "bo_", false), 0);
        EXPECT_TRUE(
            sys.Logged("[vra_hwr_local][HwrRecogLetter::ReadTibetanMap] 1 malformed entries "
                       "skipped."));
        EXPECT_EQ(Recognise(rec, Shapes()[0], "candnum=2").texts,
                  (std::vector<std::string>{"\u0F40\u0F71", "\u0F42"}));
        EXPECT_EQ(Recognise(rec, Shapes()[1], "candnum=2").texts,
                  (std::vector<std::string>{"\u0F42", "\u0F40\u0F71"}));
        EXPECT_EQ(rec.UninitEngine(), 0);
        EXPECT_TRUE(rec.tibetanMap().empty());
    }
    {
        // Only the resource range "tibetan" itself reads and applies the map.
        HwrRecogLetter rec;
        ASSERT_EQ(rec.InitEngine(dir.Path(), "en_", false), 0);
        EXPECT_TRUE(rec.tibetanMap().empty());
        EXPECT_EQ(Recognise(rec, Shapes()[0], "candnum=1").texts,
                  std::vector<std::string>{"\u0F40"});
    }
}

TEST(TibetanMapStream, ReadsPairsAndSkipsMalformedValues) {
    using Map = std::map<uint16_t, std::vector<uint16_t>>;
    struct Row {
        const char *text;
        Map map;
        int skipped;
    } rows[] = {
        {"0f40 0f400f71", {{0x0F40, {0x0F40, 0x0F71}}}, 0},
        // Line breaks only separate tokens; the keys are read as hexadecimal numbers.
        {"0F40\n\n  0f40\t41 0041", {{0x0F40, {0x0F40}}, {0x41, {0x41}}}, 0},
        // Characters after the last complete group are ignored.
        {"41 00410", {{0x41, {0x41}}}, 0},
        {"41 0041004", {{0x41, {0x41}}}, 0},
        {"41 004100420043004400450046", {{0x41, {0x41, 0x42, 0x43, 0x44, 0x45, 0x46}}}, 0},
        // Too short, too long, not hexadecimal: skipped, reading goes on.
        {"41 004 42 0042", {{0x42, {0x42}}}, 1},
        {"41 00410042004300440045004600470 42 0042", {{0x42, {0x42}}}, 1},
        {"41 00x1 42 -042 43 0043", {{0x43, {0x43}}}, 2},
        // A key seen again keeps its first value.
        {"41 0041 41 0042", {{0x41, {0x41}}}, 0},
        // A key that cannot be read ends the map: not hexadecimal, past 16 bits, or no value.
        {"41 0041 zz 0042 43 0043", {{0x41, {0x41}}}, 0},
        {"10000 0041 43 0043", {}, 0},
        {"41 0041 42", {{0x41, {0x41}}}, 0},
        {"", {}, 0},
    };
    for (const Row &r : rows) {
        std::istringstream in(r.text);
        TibetanMap map;
        int skipped = 0;
        ReadTibetanMapStream(in, map, &skipped);
        EXPECT_EQ(map, r.map) << r.text;
        EXPECT_EQ(skipped, r.skipped) << r.text;
    }
}

TEST_F(LetterRecogniser, StartFailuresGiveBackTheirFiles) {
    const std::vector<uint8_t> good = WriteDictionary(MixedSet(near));
    std::vector<uint8_t> cut = good;
    cut.resize(cut.size() / 2);
    WriteSet("ok_", "language: chinese\n", good);
    WriteSet("cut_", "language: chinese\n", cut);
    dir.Write("nodic_letter.conf", "language: chinese\n");
    WriteSet("bo_", "language: tibetan\nrecogRange: tibetan\n", good);
    struct Row {
        const char *prefix;
        int code;
        const char *logged;
    } rows[] = {
        {"ok_", 0, "[vra_hwr_local][HwrRecogLetter::InitEngine] Start character engine session."},
        {"missing_", HWR_ERR_RESOURCE_MISSING, nullptr},
        {"nodic_", HWR_ERR_RESOURCE_MISSING, " missing"},
        {"cut_", HWR_ERR_ENGINE_SESSION,
         "[vra_hwr_local][HwrRecogLetter::InitEngine] Start engine session failed."},
        {"bo_", HWR_ERR_RESOURCE_MISSING, nullptr},  // no tibetanmap.txt
    };
    for (const Row &r : rows) {
        sys.ClearLog();
        const std::string dic = qvcommon::GetResPath(r.prefix, "letter.dic");
        {
            HwrRecogLetter rec;
            EXPECT_EQ(rec.InitEngine(dir.Path(), r.prefix, false), r.code) << r.prefix;
            if (r.logged) {
                // The missing file's line names its path.
                const std::string line =
                    r.logged == std::string(" missing") ? dic + r.logged : std::string(r.logged);
                EXPECT_TRUE(sys.LogContains(line)) << r.prefix << ": " << line;
            }
            EXPECT_EQ(qvcommon::ReadOnlyResManager::Instance().RefCount(dic), r.code == 0 ? 1u : 0u)
                << r.prefix;
        }
        // The recogniser's end gives back what a successful start took.
        EXPECT_EQ(qvcommon::ReadOnlyResManager::Instance().RefCount(dic), 0u) << r.prefix;
    }
}

TEST_F(LetterRecogniser, EngineSeesAtMostTheFirst1022PairsAndNeverReadsPastTheData) {
    WriteSet("", "language: chinese\nrecogRange: gb\n", WriteDictionary(MixedSet(near)));
    HwrRecogLetter rec;
    ASSERT_EQ(rec.InitEngine(dir.Path(), "", false), 0);
    // Shape 3 ("L") drawn with 1100 points, then a circle that lies past the cut.
    Pairs longWriting;
    for (int i = 0; i < 1100; ++i) {
        const int t = i * 360 / 1100;
        const int x = t < 180 ? 20 : 20 + (t - 180);
        const int y = t < 180 ? 20 + t : 200;
        longWriting.insert(longWriting.end(), {static_cast<int16_t>(x), static_cast<int16_t>(y)});
    }
    longWriting.insert(longWriting.end(), {-1, 0});
    const Pairs circle = Circle(110, 110, 100);
    longWriting.insert(longWriting.end(), circle.begin(), circle.end());
    Pairs cut(longWriting.begin(), longWriting.begin() + 2 * 1022);
    cut.insert(cut.end(), {-1, 0, -1, -1});
    const Pairs before = longWriting;
    const Answer full = Recognise(rec, longWriting, "candnum=10,fullhalf=half");
    EXPECT_EQ(longWriting, before) << "the caller's strokes stay as they were";
    EXPECT_EQ(full.texts, Recognise(rec, cut, "candnum=10,fullhalf=half").texts);
    EXPECT_EQ(full.texts.at(0), "3");

    // Data without an end pair (no front end checked it) is read only as far as its length.
    struct Row {
        const char *what;
        Pairs data;
    } rows[] = {
        {"no end pair", {20, 20, 20, 200, 200, 200}},
        {"one value", {20}},
        {"nothing", {}},
    };
    for (const Row &r : rows) {
        const Answer a = Recognise(rec, r.data, "candnum=10");
        EXPECT_EQ(a.code, 0) << r.what;
    }
    HwrRecogResult result{};
    EXPECT_EQ(rec.Recog(nullptr, 0, Config("candnum=10"), &result), 0);
    qvcommon::FreeRecogResult(&result);
}

TEST_F(LetterRecogniser, GesturesAreNumbersAndIgnoreTheLetterKeys) {
    // Twelve gesture classes (group 5): class i has the gesture code i + 1, text "i".
    const DictionarySpec spec = SpecFor(near, Shapes(), std::vector<int>(12, 5), {});
    DictionarySpec withCodes = spec;
    withCodes.codes.assign(12, 0);
    dir.Write("gesture.dic", Bytes(WriteDictionary(withCodes)));
    HwrRecogGesture rec;
    ASSERT_EQ(rec.InitEngine(dir.Path(), "", false), 0) << "no letter.conf needed";
    EXPECT_EQ(rec.GetDefaultRangeByLang(), 0x80u);
    struct Row {
        const char *config;
        std::vector<std::string> texts;
    } rows[] = {
        // A gesture is only ever the first candidate, so there is at most one.
        {"candnum=10", {"6"}},
        {"candnum=10,recogrange=number+nosuch,dispcode=totraditional,fullhalf=full,"
         "openslant=yes,sublang=klingon",
         {"6"}},
        {"recogrange=all", {}},
    };
    for (const Row &r : rows) {
        const Answer a = Recognise(rec, Shapes()[6], r.config);
        EXPECT_EQ(a.code, 0) << r.config;
        EXPECT_EQ(a.texts, r.texts) << r.config;
    }
    HwrRecogGesture none;
    EXPECT_EQ(none.InitEngine(dir.Path(), "xx_", false), HWR_ERR_RESOURCE_MISSING);
    EXPECT_TRUE(sys.LogContains("[vra_hwr_local][HwrRecogGesture::InitEngine] " +
                                qvcommon::GetResPath("xx_", "gesture.dic") + " missing"));
}

}  // namespace
