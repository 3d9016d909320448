#include "Params.h"

#include <gtest/gtest.h>

namespace msc {
namespace {

struct ParamsCase {
    const char *text;
    bool valid;
    const char *normalised;  // ToString() after a successful parse
};

class ParamsParse : public testing::TestWithParam<ParamsCase> {};

TEST_P(ParamsParse, GivesItemsOrRefusesTheText) {
    const ParamsCase &c = GetParam();
    Params params;
    params.Set("before", "1");
    ASSERT_EQ(params.Parse(c.text), c.valid) << c.text;
    if (c.valid) {
        EXPECT_EQ(params.ToString(), c.normalised);
        EXPECT_EQ(params.Source(), c.text);
    } else {
        EXPECT_EQ(params.ToString(), "before = 1") << "a refused text leaves the map alone";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParamsParse,
    testing::Values(
        ParamsCase{"appid = 7d3e21a9, work_dir = .", true, "appid = 7d3e21a9, work_dir = ."},
        ParamsCase{"language = zh_cn, accent = lmz, result_type = json, result_encoding = UTF-8, "
                   "ptt = 1, vad_eos=200",
                   true,
                   "language = zh_cn, accent = lmz, result_type = json, result_encoding = UTF-8, "
                   "ptt = 1, vad_eos = 200"},
        ParamsCase{"nlp_version =2.0", true, "nlp_version = 2.0"}, ParamsCase{"", true, ""},
        ParamsCase{" , ,", true, ""},
        ParamsCase{"Result_Type = plain", true, "result_type = plain"},
        ParamsCase{"a = 1, a = 2", true, "a = 2"}, ParamsCase{"key =", true, "key = "},
        ParamsCase{"a = b = c", true, "a = b = c"}, ParamsCase{"novalue", false, ""},
        ParamsCase{"a = 1, = 2", false, ""}));

TEST(Params, GetIntTakesOnlyWholeNumbers) {
    Params params;
    ASSERT_TRUE(params.Parse("a = 200, b = 12x, c = -3, d ="));
    EXPECT_EQ(params.GetInt("a", 7), 200);
    EXPECT_EQ(params.GetInt("b", 7), 7);
    EXPECT_EQ(params.GetInt("c", 7), -3);
    EXPECT_EQ(params.GetInt("d", 7), 7);
    EXPECT_EQ(params.GetInt("missing", 7), 7);
    EXPECT_EQ(params.Get("A"), "200") << "lookups ignore case";
}

TEST(Params, AddMissingKeepsWhatIsThere) {
    Params a, b;
    ASSERT_TRUE(a.Parse("engine = scripted"));
    ASSERT_TRUE(b.Parse("engine = other, script = s.txt"));
    a.AddMissing(b);
    EXPECT_EQ(a.ToString(), "engine = scripted, script = s.txt");
}

}  // namespace
}  // namespace msc
