// The local plug-in through the kit's public interface: the real libvra_hwr.so loading the real
// libvra_hwr_local_recog.so with the shipped V7 resources.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KitTestSupport.h"
#include "SyntheticInk.h"
#include "vra_hwr.h"

namespace {

std::vector<int16_t> ToStrokes(const std::vector<int32_t> &pairs) {
    return std::vector<int16_t>(pairs.begin(), pairs.end());
}

class LocalPlugin : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sys.InitCode(), 0);
        ASSERT_EQ(vra_hwr_init(("datapath=" + std::string(QV_SHIPPED_DATA_DIR)).c_str()), 0);
    }
    void TearDown() override { vra_hwr_release(); }

    int Start(const std::string &config, uint32_t *id) {
        return vra_hwr_session_start(config.c_str(), id);
    }

    kit_test::SysSession sys;
};

TEST_F(LocalPlugin, RecognisesAWritingEndToEnd) {
    uint32_t id = 0;
    ASSERT_EQ(Start("capkey=hwr.local.freestylus.v7,candnum=5", &id), 0);
    const std::vector<int16_t> strokes = ToStrokes(SyntheticLine(10, 3, 5));
    HwrRecogResult result{};
    ASSERT_EQ(vra_hwr_recog(id, strokes.data(), static_cast<uint32_t>(strokes.size() * 2), nullptr,
                            &result),
              0);
    ASSERT_GT(result.count, 0u);
    EXPECT_LE(result.count, 5u);
    for (uint32_t i = 0; i < result.count; ++i) {
        const HwrRecogResultItem &item = result.items[i];
        ASSERT_NE(item.text, nullptr);
        EXPECT_GT(std::string(item.text).size(), 0u);
        ASSERT_GT(item.value_count, 0u);
        // The 16-bit characters and the UTF-8 text say the same (ASCII letters and spaces).
        EXPECT_EQ(std::string(item.values, item.values + item.value_count), item.text);
    }
    vra_hwr_free_recog_result(&result);
    HwrConfirmItem confirm{"hello"};
    EXPECT_EQ(vra_hwr_confirm(id, &confirm), 0);
    EXPECT_EQ(vra_hwr_session_stop(id), 0);
    // The writing and the confirmed text reached the usage history.
    const auto history = sys.History();
    ASSERT_FALSE(history.empty());
    EXPECT_EQ(history.back().result, "hello");
    EXPECT_EQ(history.back().capkey, "hwr.local.freestylus.v7");
}

TEST_F(LocalPlugin, SessionStartCodes) {
    struct Row {
        const char *config;
        int code;
    } rows[] = {
        {"capkey=hwr.local.freestylus.v7,realtime=yes", HWR_ERR_NOT_SUPPORTED},
        {"capkey=hwr.local.freestylus.v7,resPrefix=missing_", HWR_ERR_RESOURCE_MISSING},
    };
    for (const Row &r : rows) {
        uint32_t id = 0;
        EXPECT_EQ(Start(r.config, &id), r.code) << r.config;
    }
}

TEST_F(LocalPlugin, RecognitionCodes) {
    uint32_t id = 0;
    ASSERT_EQ(Start("capkey=hwr.local.freestylus.v7", &id), 0);
    const std::vector<int16_t> line = ToStrokes(SyntheticLine(3, 1));
    struct Row {
        const char *what;
        std::vector<int16_t> strokes;
        const char *config;
        int code;
    } rows[] = {
        // Three pairs: shorter than the engine takes.
        {"three pairs", {10, 10, -1, 0, -1, -1}, nullptr, HWR_ERR_ENGINE},
        {"digits asked", line, "recogrange=upper+number", HWR_ERR_NOT_SUPPORTED},
        {"letters asked", line, "recogrange=upper+lower", 0},
    };
    for (const Row &r : rows) {
        HwrRecogResult result{};
        EXPECT_EQ(vra_hwr_recog(id, r.strokes.data(), static_cast<uint32_t>(r.strokes.size() * 2),
                                r.config, &result),
                  r.code)
            << r.what;
        vra_hwr_free_recog_result(&result);
    }
    EXPECT_EQ(vra_hwr_session_stop(id), 0);
}

TEST_F(LocalPlugin, SessionsShareOneEngine) {
    uint32_t a = 0, b = 0;
    ASSERT_EQ(Start("capkey=hwr.local.freestylus.v7", &a), 0);
    EXPECT_FALSE(sys.LogContains("fetch engine handle"));
    ASSERT_EQ(Start("capkey=hwr.local.freestylus.v7", &b), 0);
    EXPECT_TRUE(sys.LogContains("fetch engine handle"));
    EXPECT_EQ(vra_hwr_session_stop(a), 0);
    EXPECT_FALSE(sys.LogContains("engine exit"));
    // The remaining session still recognises on the shared engine.
    const std::vector<int16_t> strokes = ToStrokes(SyntheticLine(4, 2));
    HwrRecogResult result{};
    EXPECT_EQ(vra_hwr_recog(b, strokes.data(), static_cast<uint32_t>(strokes.size() * 2), nullptr,
                            &result),
              0);
    vra_hwr_free_recog_result(&result);
    EXPECT_EQ(vra_hwr_session_stop(b), 0);
    EXPECT_TRUE(sys.LogContains("engine exit"));
}

}  // namespace
