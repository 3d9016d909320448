// The system library from several threads: log lines and history records stay whole.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "KitTestSupport.h"
#include "vra_sys.h"

TEST(VraSysThreads, ParallelLogLinesAndHistoryRecordsStayWhole) {
    kit_test::SysSession sys("maxsessions=4");
    ASSERT_EQ(sys.InitCode(), 0);
    constexpr int kThreads = 6, kEach = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            std::string payload(100 + t, static_cast<char>('a' + t));
            for (int i = 0; i < kEach; ++i) {
                VRA_LOG(3, "[%s][%s] line %d %s", "t", "f", t, payload.c_str());
                VraUserHisItem item{"app",   "cap",  static_cast<unsigned>(payload.size()),
                                    0,       0,      payload.c_str(),
                                    nullptr, nullptr};
                vra_append_user_his_item(&item);
                VRA_GetMaxSessionCount();
                VRA_GetDefaultAppKey();
            }
        });
    }
    for (std::thread &th : threads)
        th.join();
    int lines = 0;
    for (const std::string &l : sys.LogLines()) {
        if (l.rfind("[t][f] line ", 0) != 0)
            continue;
        ++lines;
        int t = l[12] - '0';
        EXPECT_EQ(l.size(), std::string("[t][f] line 0 ").size() + 100 + t) << l;
    }
    EXPECT_EQ(lines, kThreads * kEach);
    auto history = sys.History();
    ASSERT_EQ(history.size(), static_cast<size_t>(kThreads * kEach));
    for (const auto &r : history)
        EXPECT_EQ(r.info.find_first_not_of(r.info[0]), std::string::npos);
}
