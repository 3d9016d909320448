// Two sessions recognising at the same time on one shared V7 engine, through the public
// interface: each gets what it gets alone.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "KitTestSupport.h"
#include "SyntheticInk.h"
#include "vra_hwr.h"

namespace {

std::vector<std::string> Recognise(uint32_t id, const std::vector<int16_t> &strokes) {
    HwrRecogResult result{};
    std::vector<std::string> texts;
    if (vra_hwr_recog(id, strokes.data(), static_cast<uint32_t>(strokes.size() * 2), nullptr,
                      &result) == 0)
        for (uint32_t i = 0; i < result.count; ++i) texts.push_back(result.items[i].text);
    vra_hwr_free_recog_result(&result);
    return texts;
}

TEST(LocalThreads, SessionsOnOneEngineRecogniseConcurrently) {
    kit_test::SysSession sys;
    ASSERT_EQ(vra_hwr_init(("datapath=" + std::string(QV_SHIPPED_DATA_DIR)).c_str()), 0);
    uint32_t a = 0, b = 0;
    ASSERT_EQ(vra_hwr_session_start("capkey=hwr.local.freestylus.v7", &a), 0);
    ASSERT_EQ(vra_hwr_session_start("capkey=hwr.local.freestylus.v7", &b), 0);
    const std::vector<int32_t> p1 = SyntheticLine(4, 11), p2 = SyntheticLine(5, 12);
    const std::vector<int16_t> s1(p1.begin(), p1.end()), s2(p2.begin(), p2.end());
    const auto alone1 = Recognise(a, s1), alone2 = Recognise(b, s2);
    ASSERT_FALSE(alone1.empty());
    std::vector<std::string> got1, got2;
    std::thread t1([&] { got1 = Recognise(a, s1); });
    std::thread t2([&] { got2 = Recognise(b, s2); });
    t1.join();
    t2.join();
    EXPECT_EQ(got1, alone1);
    EXPECT_EQ(got2, alone2);
    EXPECT_EQ(vra_hwr_session_stop(a), 0);
    EXPECT_EQ(vra_hwr_session_stop(b), 0);
    EXPECT_EQ(vra_hwr_release(), 0);
}

}  // namespace
