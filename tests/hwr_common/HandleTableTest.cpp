#include "HandleTable.h"

#include <gtest/gtest.h>

using qvcommon::HandleTable;

TEST(HandleTable, StaleAndForgedHandlesFindNothing) {
    HandleTable<int> table;
    int a = 1, b = 2;
    uint32_t ha = table.Add(&a);
    ASSERT_NE(ha, 0u);
    EXPECT_EQ(table.Get(ha), &a);
    EXPECT_EQ(table.Remove(ha), &a);
    EXPECT_EQ(table.Get(ha), nullptr) << "removed";
    uint32_t hb = table.Add(&b);  // reuses the slot with a new generation
    EXPECT_NE(hb, ha);
    EXPECT_EQ(table.Get(ha), nullptr) << "stale handle of a reused slot";
    EXPECT_EQ(table.Get(hb), &b);
    EXPECT_EQ(table.Remove(ha), nullptr);
    for (uint32_t forged : {0u, 0xFFFFFFFFu, hb + 1, hb ^ 0x10000u}) {
        EXPECT_EQ(table.Get(forged), nullptr) << forged;
    }
    EXPECT_EQ(table.Add(nullptr), 0u);
    EXPECT_EQ(table.Count(), 1u);
    EXPECT_EQ(table.RemoveAll(), std::vector<int *>{&b});
    EXPECT_EQ(table.Get(hb), nullptr);
}
