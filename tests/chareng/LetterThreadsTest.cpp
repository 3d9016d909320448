// Letter sessions on several threads at once through the public interface: each starts, works
// and stops while the others do, on the one shared dictionary, and gets what it gets alone.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "KitTestSupport.h"
#include "vra_hwr.h"

namespace {

using Writing = std::vector<int16_t>;

Writing Polyline(std::initializer_list<std::pair<int, int>> points) {
    Writing w;
    for (auto [x, y] : points)
        w.insert(w.end(), {static_cast<int16_t>(x), static_cast<int16_t>(y)});
    w.insert(w.end(), {-1, 0, -1, -1});
    return w;
}

// A session of its own: the candidates of each writing, `rounds` times over.
std::vector<std::vector<std::string>> Session(const char *config, const std::vector<Writing> &ws,
                                              int rounds) {
    std::vector<std::vector<std::string>> out;
    uint32_t id = 0;
    if (vra_hwr_session_start(config, &id) != 0)
        return out;
    for (int r = 0; r < rounds; ++r)
        for (const Writing &w : ws) {
            HwrRecogResult result{};
            std::vector<std::string> texts;
            if (vra_hwr_recog(id, w.data(), static_cast<uint32_t>(w.size() * 2), nullptr,
                              &result) == 0)
                for (uint32_t i = 0; i < result.count; ++i)
                    texts.push_back(result.items[i].text);
            vra_hwr_free_recog_result(&result);
            out.push_back(std::move(texts));
        }
    vra_hwr_session_stop(id);
    return out;
}

TEST(LetterThreads, SessionsStartRecogniseAndStopConcurrently) {
    kit_test::SysSession sys;
    ASSERT_EQ(vra_hwr_init(("datapath=" + std::string(QV_SHIPPED_DATA_DIR)).c_str()), 0);
    const std::vector<Writing> writings = {
        Polyline({{20, 20}, {20, 300}, {200, 300}}),
        Polyline({{20, 150}, {300, 150}}),
        Polyline({{20, 20}, {200, 20}, {20, 300}, {200, 300}}),
    };
    const char *const configs[] = {"capkey=hwr.local.letter,resPrefix=zh_",
                                   "capkey=hwr.local.letter,resPrefix=zh_,dispcode=totraditional",
                                   "capkey=hwr.local.letter", "capkey=hwr.local.gesture"};
    std::vector<std::vector<std::vector<std::string>>> alone, together(4);
    for (const char *c : configs)
        alone.push_back(Session(c, writings, 1));
    ASSERT_FALSE(alone[0].empty());
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] { together[i] = Session(configs[i], writings, 3); });
    for (std::thread &t : threads)
        t.join();
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(together[i].size(), 3 * writings.size()) << configs[i];
        for (size_t k = 0; k < together[i].size(); ++k)
            EXPECT_EQ(together[i][k], alone[i][k % writings.size()]) << configs[i];
    }
    EXPECT_EQ(vra_hwr_release(), 0);
}

}  // namespace
