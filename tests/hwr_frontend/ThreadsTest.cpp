// Sessions driven from several threads at once (run under ThreadSanitizer by the tsan preset).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "KitFixture.h"

namespace kit_test {
namespace {

class Threads : public KitTest {};

TEST_F(Threads, ParallelSessionsShareOneLoadedLibrary) {
    ASSERT_EQ(InitKit("datapath=/d", "maxsessions=32,serviceurl=http://127.0.0.1:9,loglevel=3"), 0);
    constexpr int kThreads = 8, kRounds = 20;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::vector<int16_t> w = Strokes({{t, t}, {-1, 0}, {-1, -1}});
            for (int round = 0; round < kRounds; ++round) {
                uint32_t id = 0;
                const char *key = t % 2 ? "capkey=hwr.cloud.letter" : "capkey=hwr.cloud.freewrite";
                if (vra_hwr_session_start(key, &id) != 0) {
                    ++failures;
                    continue;
                }
                for (int k = 0; k < 3; ++k) {
                    HwrRecogResult r{};
                    if (vra_hwr_recog(id, w.data(), 12, "candnum=3", &r) != 0 || r.count != 4 ||
                        std::string(r.items[2].text) != "inits:1") {
                        ++failures;
                    }
                    vra_hwr_free_recog_result(&r);
                }
                if (vra_hwr_session_stop(id) != 0)
                    ++failures;
            }
        });
    }
    for (std::thread &th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(vra_hwr_release(), 0);
}

TEST_F(Threads, ConcurrentStartsAndStopsKeepTheTableConsistent) {
    ASSERT_EQ(InitKit("datapath=/d", "loglevel=1"), 0);
    // Local keys allow five sessions: some starts fail with 17, none crashes or leaks a slot.
    std::atomic<int> unexpected{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 30; ++round) {
                uint32_t id = 0;
                int code = vra_hwr_session_start("capkey=hwr.local.letter", &id);
                if (code == 17)
                    continue;
                if (code != 0 || id >= 5) {
                    ++unexpected;
                    continue;
                }
                if (vra_hwr_session_stop(id) != 0)
                    ++unexpected;
            }
        });
    }
    for (std::thread &th : threads)
        th.join();
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_EQ(vra_hwr_release(), 0) << "every slot was freed";
}

}  // namespace
}  // namespace kit_test
