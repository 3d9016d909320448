#include "StringUtil.h"

#include <gtest/gtest.h>

using namespace qvcommon;
using Pieces = std::vector<std::string>;

TEST(StringUtil, SplitAndTokenize) {
    EXPECT_EQ(SplitString("a,,b,", ','), (Pieces{"a", "", "b"}));
    EXPECT_EQ(SplitString(",a", ','), (Pieces{"", "a"}));
    EXPECT_EQ(SplitString("", ','), Pieces{});
    EXPECT_EQ(Tokenize("hwr..local.", "."), (Pieces{"hwr", "local"}));
    EXPECT_EQ(Tokenize("a;; b;", ";"), (Pieces{"a", " b"}));
    EXPECT_EQ(Tokenize(":::", ":"), Pieces{});
}

TEST(StringUtil, TrimLowerNumbers) {
    EXPECT_EQ(Trim(" \t\r\nx y\n "), "x y");
    EXPECT_EQ(Trim(" \t"), "");
    EXPECT_EQ(ToLower("HwR.Local-\xC3\x84"), "hwr.local-\xC3\x84");
    EXPECT_EQ(IntToString(-42), "-42");
    EXPECT_EQ(DoubleToString(31.5), "31.500000");
}
