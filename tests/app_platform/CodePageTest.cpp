#include "platform/CodePage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePage, RoundTripsChineseThroughCodePage936) {
    const std::u16string wide = u"今天天气很好。ok";
    const std::string gbk = "\xbd\xf1\xcc\xec\xcc\xec\xc6\xf8\xba\xdc\xba\xc3\xa1\xa3ok";
    EXPECT_EQ(WideToOem(wide), gbk);
    EXPECT_EQ(AnsiToWide(gbk), wide);
    EXPECT_EQ(Utf8ToAnsi("今天天气很好。ok"), gbk);
    EXPECT_EQ(WideToUtf8(wide), "今天天气很好。ok");
    EXPECT_EQ(Utf8ToWide("今天天气很好。ok"), wide);
}

TEST(CodePage, WhatDoesNotConvertBecomesAQuestionMark) {
    // An emoji (a surrogate pair) and a Korean syllable have no form in code page 936.
    EXPECT_EQ(WideToOem(u"a\U0001F600b\uD55Cc"), "a?b?c");
    EXPECT_EQ(Utf8ToAnsi("a\xF0\x9F\x98\x80"
                         "b"),
              "a?b");
    // A lone surrogate, a truncated UTF-8 sequence and a stray GBK lead byte.
    EXPECT_EQ(WideToUtf8(std::u16string(u"x") + char16_t(0xD800) + u"y"), "x?y");
    EXPECT_EQ(Utf8ToWide("x\xE4\xBD"), u"x?");
    EXPECT_EQ(AnsiToWide("\xbd\xf1\xff"), u"今?");
    EXPECT_EQ(AnsiToWide(""), u"");
}

TEST(CodePage, LongTextsConvertWhole) {
    std::u16string wide(10000, u'好');
    EXPECT_EQ(AnsiToWide(WideToOem(wide)), wide);
    EXPECT_EQ(WideToOem(wide).size(), 20000u);
}

}  // namespace
