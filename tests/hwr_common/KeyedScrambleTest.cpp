#include "KeyedScramble.h"

#include <gtest/gtest.h>

#include <vector>

using qvcommon::KeyedScramble;
using qvcommon::KeyedScrambleMask;

TEST(KeyedScramble, MaskOfKnownKeys) {
    struct Case {
        const char *key;
        std::array<uint8_t, 4> mask;
    } cases[] = {
        {"ab", {0x00, 0x00, 0xFF, 0xC3}},
        {"vra-key-2024", {0x00, 0x00, 0x38, 0xB4}},
        {"\xC3\xBF", {0x00, 0x00, 0x04, 0x82}},  // bytes above 127 count unsigned
        {"", {0x00, 0x00, 0x00, 0x00}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(KeyedScrambleMask(c.key), c.mask) << c.key;
}

TEST(KeyedScramble, EveryByteTakesAllFourMaskBytes) {
    std::vector<uint8_t> data = {'H', 'e', 'l', 'l', 'o'};
    KeyedScramble(data.data(), data.size(), "vra-key-2024");
    EXPECT_EQ(data, (std::vector<uint8_t>{0xC4, 0xE9, 0xE0, 0xE0, 0xE3}));
    qvcommon::KeyedDescramble(data.data(), data.size(), "vra-key-2024");
    EXPECT_EQ(data, (std::vector<uint8_t>{'H', 'e', 'l', 'l', 'o'}));
}

TEST(KeyedScramble, EmptyKeyLeavesDataPlain) {
    std::vector<uint8_t> data = {1, 2, 3};
    KeyedScramble(data.data(), data.size(), "");
    KeyedScramble(data.data(), data.size(), nullptr);
    EXPECT_EQ(data, (std::vector<uint8_t>{1, 2, 3}));
}
