#include "SpeechScript.h"

#include <gtest/gtest.h>

namespace msc {
namespace {

TEST(SpeechScript, ReadsSessionsSearchesAndOptions) {
    SpeechScript script;
    std::string error;
    ASSERT_TRUE(
        script.Parse("# comment\n"
                     "appid 7d3e21a9\n"
                     "session\n"
                     "  at 12800 result \\xbd\\xf1tab\\there\r\n"
                     "  final result 很好。\n"
                     "  at 6400 result 今天\n"
                     "  at 6400 eos\n"
                     "  final error 10115\n"
                     "session\n"
                     "  begin error 10108\n"
                     "\n"
                     "search 北京天气\n"
                     "answer {\"rc\":0}\n"
                     "search *\n"
                     "fail 10113\n"
                     "loop\n",
                     &error))
        << error;
    EXPECT_EQ(script.appid, "7d3e21a9");
    EXPECT_TRUE(script.loop);
    ASSERT_EQ(script.sessions.size(), 2u);
    const auto &events = script.sessions[0].events;
    ASSERT_EQ(events.size(), 5u);
    // Audio events by byte count, file order among equals; the final ones last, in file order.
    EXPECT_EQ(events[0].text, "今天");
    EXPECT_EQ(events[1].kind, ScriptEvent::kEndOfSpeech);
    EXPECT_EQ(events[2].text, "\xbd\xf1tab\there");
    EXPECT_EQ(events[3].at, ScriptEvent::kFinal);
    EXPECT_EQ(events[3].text, "很好。");
    EXPECT_EQ(events[4].kind, ScriptEvent::kError);
    EXPECT_EQ(events[4].code, 10115);
    EXPECT_EQ(script.sessions[1].beginError, 10108);
    ASSERT_EQ(script.searches.size(), 2u);
    EXPECT_EQ(script.searches[0].request, "北京天气");
    EXPECT_EQ(script.searches[0].answer, "{\"rc\":0}");
    EXPECT_EQ(script.searches[1].request, "*");
    EXPECT_EQ(script.searches[1].error, 10113);
}

struct BadScript {
    const char *text;
    const char *error;
};

class SpeechScriptRefuses : public testing::TestWithParam<BadScript> {};

TEST_P(SpeechScriptRefuses, NamesTheLine) {
    SpeechScript script;
    script.loop = true;
    std::string error;
    EXPECT_FALSE(script.Parse(GetParam().text, &error));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_TRUE(script.loop) << "a refused script leaves the old one";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SpeechScriptRefuses,
    testing::Values(
        BadScript{"at 10 result x\n", "line 1: 'at' outside a session"},
        BadScript{"session\nat x result y\n", "line 2: 'at' needs a byte count"},
        BadScript{"session\nat -5 eos\n", "line 2: 'at' needs a byte count"},
        BadScript{"session\nat 5 shout\n", "line 2: unknown event 'shout'"},
        BadScript{"session\nfinal eos\n", "line 2: unknown event 'eos'"},
        BadScript{"session\nat 5 error 0\n", "line 2: 'error' needs a non-zero code"},
        BadScript{"session\nat 5 error 99999999999\n", "line 2: 'error' needs a non-zero code"},
        BadScript{"session\nbegin fail 3\n", "line 2: expected 'begin error CODE'"},
        BadScript{"session\nfinal result a\\qb\n", "line 2: bad escape in the result"},
        BadScript{"session\nfinal result \\x4\n", "line 2: bad escape in the result"},
        BadScript{"session\nfinal result end\\\n", "line 2: bad escape in the result"},
        BadScript{"search a\nsession\n", "line 2: 'search' must be followed by 'answer' or 'fail'"},
        BadScript{"search a\n", "line 1: 'search' must be followed by 'answer' or 'fail'"},
        BadScript{"answer x\n", "line 1: 'answer' without 'search'"},
        BadScript{"search\n", "line 1: 'search' needs a request"},
        BadScript{"appid\n", "line 1: 'appid' needs an id"},
        BadScript{"sessions\n", "line 1: unknown directive 'sessions'"}));

}  // namespace
}  // namespace msc
