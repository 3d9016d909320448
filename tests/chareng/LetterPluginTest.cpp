// hwr.local.letter and hwr.local.gesture through the kit's public interface: the real
// libvra_hwr.so loading the real libvra_hwr_local_recog.so with the shipped dictionaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "KitTestSupport.h"
#include "vra_hwr.h"

namespace {

using Points = std::vector<std::pair<int, int>>;
using Writing = std::vector<int16_t>;

// Strokes through the given corner points, each edge drawn with points every 8 pixels, as a
// digitiser reports a pen.
Writing Write(const std::vector<Points> &strokes) {
    Writing w;
    for (const Points &s : strokes) {
        for (size_t i = 0; i < s.size(); ++i) {
            if (i == 0) {
                w.insert(w.end(), {int16_t(s[0].first), int16_t(s[0].second)});
                continue;
            }
            const auto [x0, y0] = s[i - 1];
            const auto [x1, y1] = s[i];
            const int n = std::max(1, int(std::hypot(x1 - x0, y1 - y0) / 8));
            for (int k = 1; k <= n; ++k)
                w.insert(w.end(),
                         {int16_t(x0 + (x1 - x0) * k / n), int16_t(y0 + (y1 - y0) * k / n)});
        }
        w.insert(w.end(), {-1, 0});
    }
    w.insert(w.end(), {-1, -1});
    return w;
}

Writing Ellipse(int cx, int cy, int rx, int ry) {
    Points p;
    for (int i = 0; i <= 48; ++i) {
        const double a = -M_PI / 2 - 2 * M_PI * i / 48;  // from the top, counter-clockwise
        p.push_back(
            {cx + int(std::lround(rx * std::cos(a))), cy + int(std::lround(ry * std::sin(a)))});
    }
    return Write({p});
}

std::vector<std::string> Texts(const HwrRecogResult &r) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < r.count; ++i)
        out.push_back(r.items[i].text);
    return out;
}

std::string Join(const std::vector<std::string> &texts) {
    std::string s;
    for (const std::string &t : texts)
        s += (s.empty() ? "" : " ") + t;
    return s;
}

class LetterPlugin : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(sys.InitCode(), 0); }
    void TearDown() override { vra_hwr_release(); }

    void Init(const std::string &datapath) {
        vra_hwr_release();
        ASSERT_EQ(vra_hwr_init(("datapath=" + datapath).c_str()), 0);
    }
    uint32_t StartOk(const std::string &config) {
        uint32_t id = 0;
        EXPECT_EQ(vra_hwr_session_start(config.c_str(), &id), 0) << config;
        return id;
    }
    // The candidates of one recognition; `code` receives its result.
    std::vector<std::string> Recog(uint32_t id, const Writing &w, const char *config,
                                   int *code = nullptr) {
        HwrRecogResult result{};
        const int c =
            vra_hwr_recog(id, w.data(), static_cast<uint32_t>(w.size() * 2), config, &result);
        if (code)
            *code = c;
        else
            EXPECT_EQ(c, 0) << (config ? config : "");
        for (uint32_t i = 0; i < result.count; ++i) {
            EXPECT_EQ(result.items[i].values, nullptr);
            EXPECT_EQ(result.items[i].value_count, 0u);
        }
        std::vector<std::string> texts = Texts(result);
        vra_hwr_free_recog_result(&result);
        return texts;
    }

    kit_test::SysSession sys;
};

TEST_F(LetterPlugin, ShippedSetsRecogniseWriting) {
    Init(QV_SHIPPED_DATA_DIR);
    struct Row {
        const char *session;
        Writing writing;
        std::vector<std::string> acceptable;  // the first candidate is one of these
        const char *call = nullptr;
    } rows[] = {
        {"capkey=hwr.local.letter", Write({{{20, 20}, {20, 300}, {200, 300}}}), {"L"}},
        {"capkey=hwr.local.letter",
         Write({{{30, 300}, {110, 20}, {190, 300}}, {{60, 200}, {160, 200}}}),
         {"A"}},
        {"capkey=hwr.local.letter",
         Write({{{20, 20}, {200, 20}, {20, 300}, {200, 300}}}),
         {"Z", "z", "2"}},
        {"capkey=hwr.local.letter", Ellipse(150, 150, 90, 130), {"O", "o", "0"}},
        {"capkey=hwr.local.letter",
         Write({{{100, 20}, {100, 300}}, {{20, 160}, {180, 160}}}),
         {"+", "t"}},
        // Chinese through the resource prefix zh_. Alone, one or two lines are as much "-", "_"
        // or "=" as they are characters.
        {"capkey=hwr.local.letter,resPrefix=zh_",
         Write({{{20, 150}, {300, 150}}}),
         {"一", "-", "_"}},
        {"capkey=hwr.local.letter,resPrefix=zh_",
         Write({{{20, 150}, {300, 150}}}),
         {"一"},
         "recogrange=gb"},
        {"capkey=hwr.local.letter,resPrefix=zh_",
         Write({{{70, 110}, {250, 105}}, {{20, 210}, {300, 205}}}),
         {"二"},
         "recogrange=gb"},
        {"capkey=hwr.local.letter,resPrefix=zh_",
         Write({{{40, 40}, {280, 40}}, {{60, 160}, {260, 160}}, {{20, 290}, {300, 290}}}),
         {"三"}},
        {"capkey=hwr.local.letter,resPrefix=zh_",
         Write({{{20, 150}, {300, 150}}, {{160, 20}, {160, 300}}}),
         {"十"}},
        {"capkey=hwr.local.letter,resPrefix=zh_",
         Write({{{40, 40}, {40, 280}}, {{40, 40}, {260, 40}, {260, 280}}, {{40, 270}, {260, 270}}}),
         {"口"}},
        // ... and 人 as much "^".
        {"capkey=hwr.local.letter,resPrefix=zh_",
         Write({{{160, 20}, {150, 140}, {30, 300}}, {{150, 140}, {300, 300}}}),
         {"人", "^", "入"}},
        {"capkey=hwr.local.letter,resPrefix=zh_",
         Write({{{160, 20}, {150, 140}, {30, 300}}, {{150, 140}, {300, 300}}}),
         {"人", "入", "八"},
         "recogrange=gb"},
        // Gestures: code - 1 as text; line right is gesture 1, line up gesture 7.
        {"capkey=hwr.local.gesture", Write({{{20, 150}, {300, 150}}}), {"0"}},
        {"capkey=hwr.local.gesture", Write({{{150, 300}, {150, 20}}}), {"6"}},
        {"capkey=hwr.local.gesture", Write({{{20, 150}, {150, 280}, {300, 20}}}), {"22"}},
    };
    for (const Row &r : rows) {
        const uint32_t id = StartOk(r.session);
        const std::vector<std::string> texts = Recog(id, r.writing, r.call);
        ASSERT_FALSE(texts.empty()) << r.session;
        EXPECT_NE(std::find(r.acceptable.begin(), r.acceptable.end(), texts[0]), r.acceptable.end())
            << r.session << " gave " << Join(texts);
        // At most the 10 the session's key table asks for; a gesture is only ever the first.
        if (std::string(r.session).find("gesture") != std::string::npos) {
            EXPECT_EQ(texts.size(), 1u);
        } else {
            EXPECT_LE(texts.size(), 10u);
        }
        EXPECT_EQ(vra_hwr_session_stop(id), 0);
    }
}

TEST_F(LetterPlugin, CallConfigurationOfTheLetterAndGestureKeys) {
    Init(QV_SHIPPED_DATA_DIR);
    // A square: many characters look like it, so every count asked for is there.
    const Writing square =
        Write({{{40, 40}, {40, 280}}, {{40, 40}, {260, 40}, {260, 280}}, {{40, 270}, {260, 270}}});
    struct Row {
        const char *session;
        const char *call;
        int code;
        size_t count;
    } rows[] = {
        {"capkey=hwr.local.letter", "candnum=3", 0, 3},
        {"capkey=hwr.local.letter,candnum=2", nullptr, 0, 2},
        {"capkey=hwr.local.letter", "recogrange=number", 0, 10},
        {"capkey=hwr.local.letter", "recogrange=gb", HWR_ERR_NOT_SUPPORTED, 0},
        {"capkey=hwr.local.letter,resPrefix=zh_", "recogrange=gb,candnum=5", 0, 5},
        // Only the Latin script needs sublang; English letters are not "latin" resources.
        {"capkey=hwr.local.letter", "sublang=klingon", 0, 10},
        {"capkey=hwr.local.gesture", "recogrange=gb,candnum=5,sublang=x,dispcode=totraditional", 0,
         1},
    };
    for (const Row &r : rows) {
        const uint32_t id = StartOk(r.session);
        int code = 0;
        const std::vector<std::string> texts = Recog(id, square, r.call, &code);
        EXPECT_EQ(code, r.code) << r.session << " / " << (r.call ? r.call : "");
        EXPECT_EQ(texts.size(), r.count) << r.session << " / " << (r.call ? r.call : "");
        EXPECT_EQ(vra_hwr_session_stop(id), 0);
    }
}

TEST_F(LetterPlugin, ResourceSetsOfOtherScriptsAndBrokenOnes) {
    // Resource sets made from the shipped Latin dictionary: a sub-language script, a Tibetan
    // set whose map turns "L" into two Tibetan letters, and a cut dictionary.
    kit_test::TempDir dir;
    std::ifstream in(std::string(QV_SHIPPED_DATA_DIR) + "letter.dic", std::ios::binary);
    const std::string dic((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(dic.size(), 1000u);
    dir.Write("la_letter.conf", "language: latin\n");
    dir.Write("la_letter.dic", dic);
    dir.Write("bo_letter.conf", "language: tibetan\nrecogRange: tibetan\n");
    dir.Write("bo_letter.dic", dic);
    dir.Write("bo_tibetanmap.txt", "004c 0f400f71\n");
    dir.Write("cut_letter.conf", "language: english\n");
    dir.Write("cut_letter.dic", dic.substr(0, dic.size() - 100));
    dir.Write("nomap_letter.conf", "language: tibetan\nrecogRange: tibetan\n");
    dir.Write("nomap_letter.dic", dic);
    Init(dir.Path() + "/");

    struct StartRow {
        const char *session;
        int code;
    } starts[] = {
        {"capkey=hwr.local.letter,resPrefix=cut_", HWR_ERR_ENGINE_SESSION},
        {"capkey=hwr.local.letter,resPrefix=nomap_", HWR_ERR_RESOURCE_MISSING},
        {"capkey=hwr.local.letter,resPrefix=none_", HWR_ERR_RESOURCE_MISSING},
        {"capkey=hwr.local.gesture", HWR_ERR_RESOURCE_MISSING},
        {"capkey=hwr.local.letter,resPrefix=la_,realtime=yes", HWR_ERR_NOT_SUPPORTED},
    };
    for (const StartRow &r : starts) {
        uint32_t id = 0;
        EXPECT_EQ(vra_hwr_session_start(r.session, &id), r.code) << r.session;
    }

    const Writing l = Write({{{20, 20}, {20, 300}, {200, 300}}});
    const uint32_t la = StartOk("capkey=hwr.local.letter,resPrefix=la_");
    int code = 0;
    EXPECT_TRUE(Recog(la, l, nullptr, &code).empty());
    EXPECT_EQ(code, HWR_ERR_NO_SUBLANG);
    EXPECT_TRUE(Recog(la, l, "sublang=esperanto", &code).size() > 0);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(Recog(la, l, "sublang=klingon", &code).empty());
    EXPECT_EQ(code, HWR_ERR_CONFIG);
    EXPECT_EQ(vra_hwr_session_stop(la), 0);

    const uint32_t bo = StartOk("capkey=hwr.local.letter,resPrefix=bo_");
    const std::vector<std::string> texts = Recog(bo, l, nullptr);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0], "\u0F40\u0F71");
    EXPECT_EQ(vra_hwr_session_stop(bo), 0);
}

TEST_F(LetterPlugin, SessionsShareTheDictionaryAndReportUsage) {
    Init(QV_SHIPPED_DATA_DIR);
    const uint32_t a = StartOk("capkey=hwr.local.letter,resPrefix=zh_");
    const uint32_t b = StartOk("capkey=hwr.local.letter,resPrefix=zh_");
    const Writing one = Write({{{20, 150}, {300, 150}}});
    EXPECT_EQ(Recog(a, one, "candnum=1,recogrange=gb"), std::vector<std::string>{"一"});
    EXPECT_EQ(vra_hwr_session_stop(a), 0);
    // The other session still reads the dictionary the first one gave back.
    EXPECT_EQ(Recog(b, one, "candnum=1,recogrange=gb"), std::vector<std::string>{"一"});
    EXPECT_EQ(vra_hwr_session_stop(b), 0);
    const auto history = sys.History();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history.back().capkey, "hwr.local.letter");
    EXPECT_EQ(history.back().result, "一");
    EXPECT_EQ(history.back().data.size(), one.size() * 2);
}

}  // namespace
