#include "ConfigAssistant.h"

#include <gtest/gtest.h>

#include "KitTestSupport.h"

using qvcommon::ConfigAssistant;
using qvcommon::ConfigKeyRule;

namespace {

struct ParseCase {
    const char *text;
    bool ok;
    const char *rendered;  // ToString() after the parse
};

TEST(ConfigAssistant, ParseConfigCases) {
    const ParseCase cases[] = {
        {nullptr, true, ""},
        {"", true, ""},
        {"capkey=hwr.local.letter, candnum = 5 ,, OpenSlant=yes", true,
         "candnum=5,capkey=hwr.local.letter,openslant=yes"},
        {" \t,\r\n,", true, ""},
        {"a=1,A=2", true, "a=2"},                            // a later piece wins, keys lower-cased
        {"url=http://h/p?x=1", true, "url=http://h/p?x=1"},  // values may hold '='
        {"Key=Value", true, "key=Value"},                    // values keep their case
        {"candnum", false, ""},
        {"=5", false, ""},
        {"candnum=", false, ""},
        {"candnum= ", false, ""},
        {" =5", false, ""},
        {"a=1,b", false, ""},
    };
    for (const ParseCase &c : cases) {
        ConfigAssistant config;
        EXPECT_EQ(config.ParseConfig(c.text), c.ok) << (c.text ? c.text : "(null)");
        EXPECT_EQ(config.ToString(), c.rendered) << (c.text ? c.text : "(null)");
    }
}

TEST(ConfigAssistant, FailedParseEmptiesTheMap) {
    ConfigAssistant config;
    ASSERT_TRUE(config.ParseConfig("a=1"));
    EXPECT_FALSE(config.ParseConfig("b=2,broken"));
    EXPECT_TRUE(config.Empty());
}

TEST(ConfigAssistant, LookupsLowerCaseTheKey) {
    ConfigAssistant config;
    ASSERT_TRUE(config.ParseConfig("realtime=yes,openslant=Yes"));
    std::string v;
    EXPECT_TRUE(config.GetValue("REALTIME", v));
    EXPECT_EQ(v, "yes");
    bool flag = false;
    EXPECT_TRUE(config.GetBool("RealTime", flag));
    EXPECT_TRUE(flag);
    flag = true;
    EXPECT_TRUE(config.GetBool("openslant", flag));
    EXPECT_FALSE(flag) << "only the exact text yes is true";
    flag = true;
    EXPECT_FALSE(config.GetBool("absent", flag));
    EXPECT_TRUE(flag) << "an absent key leaves the flag alone";
    EXPECT_TRUE(config.RemoveItem("OPENSLANT"));
    EXPECT_FALSE(config.RemoveItem("openslant"));
}

TEST(ConfigAssistant, GetIntCases) {
    struct Case {
        const char *value;
        int lo, hi;
        bool found;
        int expected;
    } cases[] = {
        {"2", INT_MIN, INT_MAX, true, 2},
        {"-1", INT_MIN, INT_MAX, true, -1},
        {"2a", INT_MIN, INT_MAX, false, 0},
        {"1-2", INT_MIN, INT_MAX, true, 1},  // digits up to the first other character
        {"-", INT_MIN, INT_MAX, true, 0},
        {"11", 1, 10, false, 0},
        {"10", 1, 10, true, 10},
        {"99999999999", INT_MIN, INT_MAX, false, 0},
        {"2147483647", INT_MIN, INT_MAX, true, INT_MAX},
        {"-2147483648", INT_MIN, INT_MAX, true, INT_MIN},
    };
    for (const Case &c : cases) {
        ConfigAssistant config;
        ASSERT_TRUE(config.AddItem("n", c.value));
        int v = 0;
        EXPECT_EQ(config.GetInt("n", v, c.lo, c.hi), c.found) << c.value;
        EXPECT_EQ(v, c.expected) << c.value;
    }
    ConfigAssistant empty;
    int v = 7;
    EXPECT_FALSE(empty.GetInt("n", v));
    EXPECT_EQ(v, 7);
}

TEST(ConfigAssistant, MergeOverridesAndToStringIsSorted) {
    ConfigAssistant a, b;
    ASSERT_TRUE(a.ParseConfig("z=1,candnum=10"));
    ASSERT_TRUE(b.ParseConfig("candnum=3,m=x"));
    a.Merge(b);
    EXPECT_EQ(a.ToString(), "candnum=3,m=x,z=1");
}

const ConfigKeyRule kRules[] = {
    {"capkey", nullptr, nullptr, 4},
    {"candnum", "|1|2|3|4|5|6|7|8|9|10|", "10", 0},
    {"realtime", "|no|yes|", "no", 0},
    {"respath", nullptr, nullptr, 0},
};

TEST(ConfigAssistant, CheckAndRebuildCases) {
    kit_test::SysSession sys;
    ASSERT_EQ(sys.InitCode(), 0);
    struct Case {
        const char *text;
        int code;
        const char *rendered;
        const char *logged;
    } cases[] = {
        {"capkey=k", 0, "candnum=10,capkey=k,realtime=no", nullptr},
        {"capkey=k,candnum=5,realtime=yes", 0, "candnum=5,capkey=k,realtime=yes", nullptr},
        {"capkey=k,realtime=Yes", 3, "",
         "[qvcommon][ConfigAssistant::CheckAndRebuild] key:realtime,value:Yes invalid"},
        {"capkey=k,candnum=11", 3, "",
         "[qvcommon][ConfigAssistant::CheckAndRebuild] key:candnum,value:11 invalid"},
        {"capkey=k,realtime=no|yes", 3, "", nullptr},
        {"candnum=5", 4, "", "[qvcommon][ConfigAssistant::CheckAndRebuild] capkey missing."},
    };
    for (const Case &c : cases) {
        sys.ClearLog();
        ConfigAssistant config;
        ASSERT_TRUE(config.ParseConfig(c.text));
        EXPECT_EQ(config.CheckAndRebuild(kRules), c.code) << c.text;
        if (c.code == 0) {
            EXPECT_EQ(config.ToString(), c.rendered) << c.text;
        }
        if (c.logged) {
            EXPECT_TRUE(sys.Logged(c.logged)) << c.text;
            EXPECT_TRUE(sys.LogContains("[qvcommon][ConfigAssistant::CheckAndRebuild] config:"));
        }
    }
}

}  // namespace
