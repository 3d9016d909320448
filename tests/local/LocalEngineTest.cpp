// The local engine and the recogniser base, driven directly: capability-key routing, letter.conf,
// recognition ranges, the stroke buffer limit and the V7 recogniser's call configuration.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConfigAssistant.h"
#include "HwrLocalEngine.h"
#include "HwrRecogEngine.h"
#include "KitTestSupport.h"
#include "LibraryContext.h"
#include "PluginResults.h"
#include "RecogType.h"
#include "SyntheticInk.h"

using namespace hwrlocal;

namespace {

qvcommon::ConfigAssistant Config(const std::string &text) {
    qvcommon::ConfigAssistant c;
    EXPECT_TRUE(c.ParseConfig(text)) << text;
    return c;
}

TEST(RecogType, ChosenByTheFirstWordFound) {
    struct Row {
        const char *capkey;
        RecogType type;
    } rows[] = {{"hwr.local.freestylus.v7", kRecogFreeStylusV7},
                {"hwr.local.freestylus", kRecogFreeStylus},
                {"hwr.local.letter", kRecogLetter},
                {"hwr.local.gesture", kRecogGesture},
                {"hwr.local.letter.freestylus.v7", kRecogLetter},
                {"hwr.local.pen", kRecogUnknown}};
    for (const Row &r : rows)
        EXPECT_EQ(RecogTypeFromCapKey(r.capkey), r.type) << r.capkey;
}

// The base's own operations, on a recogniser that does nothing else.
class PlainRecogniser : public HwrRecogEngine {
  public:
    int InitEngine(const std::string &, const std::string &, bool) override { return 0; }
    int UninitEngine() override { return 0; }
    int Recog(const int16_t *, uint32_t, const qvcommon::ConfigAssistant &,
              HwrRecogResult *) override {
        return 0;
    }
    void SetRange(const std::string &r) { recogRange_ = r; }
};

TEST(HwrRecogEngine, ParsesRecognitionRanges) {
    struct Row {
        const char *resourceRange;
        const char *config;
        int code;
        uint32_t mask;
    } rows[] = {
        {"", "", 0, 0x1F},
        {"", "recogrange=all", 0, 0x1F},
        {"", "recogrange=number+upper", 0, 0x3},
        {"", "recogrange= lower + punct ", 0, 0xC},
        {"", "recogrange=gb", 22, 0},
        {"", "recogrange=upper+nosuch", 22, 0},
        {"gb", "recogrange=gb", 0, 0x3F00},
        {"gb", "", 0, 0x1F | 0x3F00},
        {"gb+nosuch+big5", "", 0, 0x1F | 0x3F00},  // the default stops at an unknown word
    };
    for (const Row &r : rows) {
        PlainRecogniser rec;
        rec.SetRange(r.resourceRange);
        uint32_t mask = 0;
        EXPECT_EQ(rec.ParseRecogRange(Config(r.config), mask), r.code) << r.config;
        if (r.code == 0) {
            EXPECT_EQ(mask, r.mask) << r.resourceRange << " / " << r.config;
        }
    }
}

TEST(HwrRecogEngine, ReadsLetterConf) {
    kit_test::TempDir dir;
    dir.Write(
        "xx_letter.conf",
        "# language:none\n  LANGUAGE:latin \r\n\nrecogrange:gb+big5\nlanguage:cyrillic\nother:1\n");
    qvcommon::LibraryContext::Instance().SetDataPath(dir.Path() + "/");
    PlainRecogniser rec;
    EXPECT_EQ(rec.ReadLangFromConfRes("xx_"), 0);
    EXPECT_EQ(rec.Language(), "cyrillic");
    EXPECT_EQ(rec.RecogRange(), "gb+big5");
    EXPECT_EQ(rec.ReadLangFromConfRes("missing_"), HWR_ERR_RESOURCE_MISSING);
}

class LocalEngine : public testing::Test {
  protected:
    void SetUp() override {
        qvcommon::LibraryContext::Instance().SetDataPath(QV_SHIPPED_DATA_DIR);
        qvcommon::LibraryContext::Instance().SetFileFlag("none");
    }
    kit_test::SysSession sys;
};

TEST_F(LocalEngine, UnknownCapabilityKeyFailsTheStart) {
    HwrLocalEngine engine;
    EXPECT_EQ(engine.StartSession(Config("capkey=hwr.local.pen")), HWR_ERR_NO_RECOGNIZER);
}

TEST_F(LocalEngine, CallConfigurationOfTheV7Recogniser) {
    auto engine = std::make_unique<HwrLocalEngine>();
    ASSERT_EQ(engine->StartSession(Config("capkey=hwr.local.freestylus.v7")), 0);
    std::vector<int32_t> pairs = SyntheticLine(4, 6);
    const std::vector<int16_t> strokes(pairs.begin(), pairs.end());
    const uint32_t bytes = static_cast<uint32_t>(strokes.size() * 2);
    struct Row {
        const char *config;
        int code;
        const char *logged;
    } rows[] = {
        {"recogrange=upper", HWR_ERR_NOT_SUPPORTED, " Writting Mode Unsupport."},  // no splitmode
        {"splitmode=overlap", HWR_ERR_NOT_SUPPORTED, " Writting Mode Unsupport."},
        {"splitmode=line,recogrange=upper+number", HWR_ERR_NOT_SUPPORTED, nullptr},
        {"splitmode=line,candnum=40", 0, " Set Candidate Number Error."},
        {"splitmode=line,candnum=2", 0, nullptr},
    };
    for (const Row &r : rows) {
        sys.ClearLog();
        HwrRecogResult result{};
        EXPECT_EQ(engine->Recog(strokes.data(), bytes, Config(r.config), &result), r.code)
            << r.config;
        if (r.logged) {
            EXPECT_TRUE(sys.LogContains(r.logged)) << r.config;
        }
        if (std::string(r.config) == "splitmode=line,candnum=2") {
            EXPECT_LE(result.count, 2u);
        }
        qvcommon::FreeRecogResult(&result);
        EXPECT_EQ(engine->accumulatedLength(), 0u);
    }
    EXPECT_EQ(engine->StopSession(), 0);
}

TEST_F(LocalEngine, StrokeBufferLimit) {
    auto engine = std::make_unique<HwrLocalEngine>();
    ASSERT_EQ(engine->StartSession(Config("capkey=hwr.local.freestylus.v7")), 0);
    std::vector<int16_t> big(65540 / 2, 5);
    HwrRecogResult result{};
    EXPECT_EQ(engine->Recog(big.data(), 65540, Config("splitmode=line"), &result),
              HWR_ERR_TOO_LARGE);
    EXPECT_EQ(engine->accumulatedLength(), 0u);
    EXPECT_EQ(result.count, 0u);
    EXPECT_EQ(engine->StopSession(), 0);
}

TEST_F(LocalEngine, ConfirmNeedsText) {
    HwrLocalEngine engine;
    HwrConfirmItem none{nullptr};
    EXPECT_EQ(engine.ConfirmResult(nullptr), HWR_ERR_INVALID_ARG);
    EXPECT_EQ(engine.ConfirmResult(&none), HWR_ERR_INVALID_ARG);
    HwrConfirmItem item{"word"};
    EXPECT_EQ(engine.ConfirmResult(&item), 0);
}

}  // namespace
