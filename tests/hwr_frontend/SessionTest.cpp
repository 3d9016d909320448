// Sessions, request checks, result copies and the failure lines of the front end.
#include <gtest/gtest.h>

#include <cstring>

#include "KitFixture.h"

extern "C" int kit_c_header_check(void);

namespace kit_test {
namespace {

class Sessions : public KitTest {};

TEST(PublicHeader, CompilesAsC) {
    EXPECT_EQ(kit_c_header_check(), 1);
}

TEST(KitState, CallsBeforeInitialisation) {
    SysSession sys;
    uint32_t id = 0;
    std::vector<int16_t> w = ShortWriting();
    HwrRecogResult r{};
    HwrPinyinResult p{};
    HwrAssociateResult a{};
    HwrPenScriptResult ps{};
    HwrConfirmItem item{"x"};
    EXPECT_EQ(vra_hwr_session_start("capkey=hwr.local.letter", &id), 300);
    EXPECT_EQ(vra_hwr_recog(0, w.data(), 12, nullptr, &r), 300);
    EXPECT_EQ(vra_hwr_pinyin(0, nullptr, "x", &p), 300);
    EXPECT_EQ(vra_hwr_associate_words(0, nullptr, "x", &a), 300);
    EXPECT_EQ(vra_hwr_associate_words_adjust(0, nullptr, "x"), 300);
    EXPECT_EQ(vra_hwr_pen_script(0, nullptr, 1, 1, &ps), 300);
    EXPECT_EQ(vra_hwr_confirm(0, &item), 300);
    EXPECT_EQ(vra_hwr_session_stop(0), 300);
    EXPECT_EQ(vra_hwr_release(), 300);
    EXPECT_EQ(vra_hwr_free_recog_result(&r), 0) << "free functions work in any state";
    EXPECT_TRUE(sys.Logged("[VRA_HWR][HwrSdk::Release] FAILED(300:kit not initialised)"));
}

TEST(KitState, InitNeedsTheSystemLibraryAndHappensOnce) {
    EXPECT_EQ(vra_hwr_init(nullptr), 100);
    SysSession sys;
    EXPECT_EQ(vra_hwr_init("fileflag=other"), 3);
    EXPECT_EQ(vra_hwr_init("datapath"), 3);
    EXPECT_EQ(vra_hwr_init(nullptr), 0);
    EXPECT_EQ(vra_hwr_init(nullptr), 301);
    EXPECT_TRUE(sys.Logged("[VRA_HWR][HwrSdk::Init] FAILED(301:kit already initialised)"));
    EXPECT_TRUE(sys.Logged("[VRA_HWR][vra_hwr_init]Enter"));
    EXPECT_TRUE(sys.Logged("[VRA_HWR][vra_hwr_init]Leave"));
    EXPECT_TRUE(sys.LogContains("[vra_sys][VRA_SDKLogIn] module 2 logged in"));
    EXPECT_EQ(vra_hwr_release(), 0);
    EXPECT_TRUE(sys.LogContains("[vra_sys][VRA_SDKLogOut] module 2 logged out"));
}

TEST_F(Sessions, SessionConfigurationIsChecked) {
    ASSERT_EQ(InitKit(), 0);
    struct Case {
        const char *config;
        int code;
    } cases[] = {
        {"candnum=5,realtime=yes", 4},
        {"capkey=hwr.local.letter,candnum=11", 3},
        {"capkey=hwr.local.letter,realtime=Yes", 3},
        {"capkey=hwr.local.letter,splitmode=single", 3},  // only recognition takes single
        {"capkey=hwr.local.letter,candnum", 3},
        {"capkey=hwr.local.letter,realtime=yes,candnum=1", 0},
    };
    for (const Case &c : cases) {
        uint32_t id = 0;
        EXPECT_EQ(Start(c.config, id), c.code) << c.config;
    }
    uint32_t id = 0;
    EXPECT_EQ(vra_hwr_session_start(nullptr, &id), 1);
    EXPECT_EQ(vra_hwr_session_start("capkey=hwr.local.letter", nullptr), 1);
    EXPECT_TRUE(Sys().Logged(
        "[VRA_HWR][HwrSdk::StartSession] FAILED(4:capkey missing in the session configuration)"));
}

TEST_F(Sessions, IdsAreLowestFreeSlots) {
    ASSERT_EQ(InitKit(), 0);
    EXPECT_EQ(StartOk("capkey=hwr.local.letter"), 0u);
    EXPECT_EQ(StartOk("capkey=hwr.local.letter"), 1u);
    EXPECT_EQ(vra_hwr_session_stop(0), 0);
    EXPECT_EQ(vra_hwr_session_stop(0), 16);
    open_.erase(open_.begin());
    EXPECT_EQ(StartOk("capkey=hwr.local.letter"), 0u);
}

TEST_F(Sessions, StaleAndForgedIdsGiveCodes) {
    ASSERT_EQ(InitKit(), 0);
    uint32_t id = StartOk("capkey=hwr.local.associateword");
    ASSERT_EQ(vra_hwr_session_stop(id), 0);
    open_.clear();
    std::vector<int16_t> w = ShortWriting();
    for (uint32_t bad : {id, 7u, 255u, 256u, 0xFFFFFFFFu}) {
        HwrRecogResult r{};
        HwrAssociateResult a{};
        HwrConfirmItem item{"x"};
        EXPECT_EQ(vra_hwr_recog(bad, w.data(), 12, nullptr, &r), 16) << bad;
        EXPECT_EQ(vra_hwr_associate_words(bad, nullptr, "x", &a), 16) << bad;
        EXPECT_EQ(vra_hwr_associate_words_adjust(bad, nullptr, "x"), 16) << bad;
        EXPECT_EQ(vra_hwr_confirm(bad, &item), 16) << bad;
        EXPECT_EQ(vra_hwr_session_stop(bad), 16) << bad;
    }
}

TEST_F(Sessions, LimitFromSystemLibraryAndLocalKeysRaiseItToFive) {
    ASSERT_EQ(InitKit("datapath=/d", "maxsessions=3,serviceurl=http://127.0.0.1:9"), 0);
    for (int i = 0; i < 3; ++i)
        StartOk("capkey=hwr.cloud.letter");
    uint32_t id = 0;
    EXPECT_EQ(Start("capkey=hwr.cloud.letter", id), 17);
    EXPECT_TRUE(
        Sys().Logged("[qvcommon][SdkInterface::StartSession] Too Many Session    [SessionCount : "
                     "3],[MaxSessionCount : 3]"));
    StopAll();
    StartOk("capkey=hwr.local.letter");
    for (int i = 0; i < 4; ++i)
        StartOk("capkey=hwr.cloud.letter");
    EXPECT_EQ(Start("capkey=hwr.cloud.letter", id), 17);
}

TEST_F(Sessions, ReleaseRefusedWhileSessionsAreOpen) {
    ASSERT_EQ(InitKit(), 0);
    uint32_t id = StartOk("capkey=hwr.local.letter");
    EXPECT_EQ(vra_hwr_release(), 18);
    EXPECT_TRUE(IsLoaded(PluginDir("wellformed") + "/libvra_hwr_local_recog.so"));
    EXPECT_EQ(RecogTexts(id, ShortWriting()).size(), 4u) << "still working";
    StopAll();
    EXPECT_EQ(vra_hwr_release(), 0);
}

TEST_F(Sessions, StrokeValidation) {
    ASSERT_EQ(InitKit(), 0);
    uint32_t plain = StartOk("capkey=hwr.local.letter");
    uint32_t live = StartOk("capkey=hwr.local.letter,realtime=yes");
    struct Case {
        std::vector<int16_t> strokes;
        int plainCode, liveCode;
        const char *plainLine;
    } cases[] = {
        {ShortWriting(), 0, 0, nullptr},
        {Strokes({{-1, 0}, {-1, -1}}), 1, 0,
         "[VRA_HWR][HwrToolFunc::IsStrokesValid] Count in bytes = 8, Invalid. "},
        {Strokes({{1, 1}, {10, 10}, {-1, 0}}), 1, 0,
         "[VRA_HWR][HwrToolFunc::IsStrokesValid] Invalid tail[(10,10)(-1,0)], not (-1,0)(-1,-1)."},
        {Strokes({{5, -1}, {-1, 0}, {-1, -1}}), 1, 1,
         "[VRA_HWR][HwrToolFunc::IsStrokesValid] Invalid point(5,-1)."},
        {Strokes({{-1, 3}, {-1, 0}, {-1, -1}}), 1, 1,
         "[VRA_HWR][HwrToolFunc::IsStrokesValid] Invalid point(-1,3)."},
        {Strokes({{1, 1}, {-1, 0}, {2, 2}, {-1, 0}, {-1, -1}}), 0, 0, nullptr},
        {Strokes({{1, 1}, {2, 2}, {-1, -1}}), 1, 1, nullptr},
        {Strokes({{1, 1}, {2, 2}}), 1, 1, nullptr},
    };
    for (const Case &c : cases) {
        Sys().ClearLog();
        auto plainTexts = RecogTexts(plain, c.strokes);
        EXPECT_EQ(plainTexts[0] == "code:1" ? 1 : 0, c.plainCode) << plainTexts[0];
        if (c.plainLine) {
            EXPECT_TRUE(Sys().Logged(c.plainLine)) << c.plainLine;
        }
        auto liveTexts = RecogTexts(live, c.strokes);
        EXPECT_EQ(liveTexts[0] == "code:1" ? 1 : 0, c.liveCode) << liveTexts[0];
    }
    // Lengths that are no multiple of 4 and real-time pieces of one point.
    HwrRecogResult r{};
    std::vector<int16_t> w = ShortWriting();
    w.push_back(0);
    EXPECT_EQ(vra_hwr_recog(plain, w.data(), 14, nullptr, &r), 1);
    EXPECT_EQ(vra_hwr_recog(live, w.data(), 14, nullptr, &r), 1);
    EXPECT_EQ(vra_hwr_recog(live, w.data(), 4, nullptr, &r), 1);
    EXPECT_TRUE(Sys().Logged("[VRA_HWR][HwrToolFunc::IsStrokesValid_RealTime] Point num <= 1."));
    std::vector<int16_t> badTail = Strokes({{1, 1}, {2, 2}, {-1, -1}});
    EXPECT_EQ(vra_hwr_recog(live, badTail.data(), 12, nullptr, &r), 1);
    EXPECT_TRUE(Sys().Logged(
        "[VRA_HWR][HwrToolFunc::IsStrokesValid_RealTime] Invalid tail[(2,2)(-1,-1)]."));
    // The call's realtime does not change the session's.
    std::vector<int16_t> piece = Strokes({{10, 10}, {-1, 0}});
    EXPECT_EQ(RecogTexts(live, piece, "realtime=no").size(), 4u);
    EXPECT_EQ(RecogTexts(plain, piece, "realtime=yes")[0], "code:1");
}

TEST_F(Sessions, RecogChecksComeInOrder) {
    ASSERT_EQ(InitKit(), 0);
    uint32_t id = StartOk("capkey=hwr.local.letter");
    std::vector<int16_t> big(65540 / 2, 0);
    HwrRecogResult r{reinterpret_cast<HwrRecogResultItem *>(8), 5};
    EXPECT_EQ(vra_hwr_recog(id, nullptr, 12, nullptr, &r), 1);
    EXPECT_EQ(r.count, 5u) << "a null pointer fails before the record is emptied";
    EXPECT_EQ(vra_hwr_recog(id, big.data(), 65540, nullptr, &r), 20);
    EXPECT_EQ(r.items, nullptr);
    EXPECT_EQ(r.count, 0u);
    std::vector<int16_t> w = ShortWriting();
    EXPECT_EQ(vra_hwr_recog(id, w.data(), 12, "candnum=0", &r), 3);
    EXPECT_EQ(vra_hwr_recog(id, w.data(), 12, "candnum", &r), 3);
    EXPECT_EQ(vra_hwr_recog(99, w.data(), 12, "splitmode=single", &r), 16);
    EXPECT_EQ(vra_hwr_recog(id, nullptr, 12, nullptr, nullptr), 1);
    EXPECT_TRUE(Sys().Logged("[VRA_HWR][HwrSdk::Recog] FAILED(20:data too large)"));
}

TEST_F(Sessions, CallConfigurationOverridesForOneCall) {
    ASSERT_EQ(InitKit(), 0);
    uint32_t id = StartOk("capkey=hwr.local.letter,appkey=mine");
    const std::string defaults =
        "cfg:appkey=mine,candnum=10,capkey=hwr.local.letter,dispcode=nochange,fullhalf=half,"
        "openslant=no,realtime=no,splitmode=line,wordmode=mixed";
    EXPECT_EQ(RecogTexts(id, ShortWriting())[0], defaults);
    EXPECT_EQ(RecogTexts(id, ShortWriting(), "candnum=3,Domain=x")[0],
              "cfg:appkey=mine,candnum=3,capkey=hwr.local.letter,dispcode=nochange,domain=x,"
              "fullhalf=half,openslant=no,realtime=no,splitmode=line,wordmode=mixed");
    EXPECT_EQ(RecogTexts(id, ShortWriting())[0], defaults);
    EXPECT_TRUE(Sys().Logged("[VRA_HWR][HwrSdk::Recog] SUCCESS"));
    EXPECT_TRUE(Sys().Logged("[VRA_HWR][vra_hwr_recog]Enter"));
    EXPECT_TRUE(Sys().Logged("[vra_hwr_test][VraHwrRecog]Leave"));
}

TEST_F(Sessions, ResultsAreDeepCopiesThatOutliveTheKit) {
    ASSERT_EQ(InitKit(), 0);
    uint32_t id = StartOk("capkey=hwr.local.letter");
    std::vector<int16_t> w = ShortWriting();
    HwrRecogResult normal{}, odd{}, empty{};
    ASSERT_EQ(vra_hwr_recog(id, w.data(), 12, nullptr, &normal), 0);
    ASSERT_EQ(vra_hwr_recog(id, w.data(), 12, "tp_recog=nulltexts", &odd), 0);
    ASSERT_EQ(vra_hwr_recog(id, w.data(), 12, "tp_recog=empty", &empty), 0);
    StopAll();
    ASSERT_EQ(vra_hwr_release(), 0);
    // The plug-in is unloaded; the copies are the caller's.
    ASSERT_EQ(normal.count, 4u);
    EXPECT_STREQ(normal.items[1].text, "bytes:12");
    ASSERT_EQ(normal.items[1].value_count, 1u);
    EXPECT_EQ(normal.items[1].values[0], 10);
    EXPECT_EQ(normal.items[0].values, nullptr);
    EXPECT_EQ(normal.items[0].value_count, 0u);
    ASSERT_EQ(odd.count, 2u);
    EXPECT_STREQ(odd.items[0].text, "") << "a null text becomes the empty string";
    EXPECT_STREQ(odd.items[1].text, "");
    ASSERT_EQ(odd.items[0].value_count, 3u);
    EXPECT_EQ(odd.items[0].values[2], 65535);
    EXPECT_EQ(empty.count, 0u);
    EXPECT_EQ(empty.items, nullptr);
    for (HwrRecogResult *r : {&normal, &odd, &empty}) {
        EXPECT_EQ(vra_hwr_free_recog_result(r), 0);
        EXPECT_EQ(r->items, nullptr);
        EXPECT_EQ(r->count, 0u);
        EXPECT_EQ(vra_hwr_free_recog_result(r), 0) << "freeing twice is harmless";
    }
    EXPECT_EQ(vra_hwr_free_recog_result(nullptr), 1);
    EXPECT_EQ(vra_hwr_free_pinyin_result(nullptr), 1);
    EXPECT_EQ(vra_hwr_free_associate_words_result(nullptr), 1);
    EXPECT_EQ(vra_hwr_free_pen_script_result(nullptr), 1);
}

TEST_F(Sessions, FailingPluginRecognitionLeavesTheRecordEmpty) {
    ASSERT_EQ(InitKit(), 0);
    uint32_t id = StartOk("capkey=hwr.local.letter");
    EXPECT_EQ(RecogTexts(id, ShortWriting(), "tp_recog=fail")[0], "code:304");
    EXPECT_TRUE(Sys().Logged(
        "[VRA_HWR][HwrSdk::Recog] FAILED(304:engine call failed or found no candidate)"));
    EXPECT_FALSE(Sys().Logged("[vra_hwr_test][VraHwrFreeRecogResult]Enter"))
        << "no plug-in free after a failure";
}

TEST_F(Sessions, AssociationPinyinPenScriptAndConfirm) {
    ASSERT_EQ(InitKit(), 0);
    uint32_t id = StartOk("capkey=hwr.local.associateword");
    HwrAssociateResult a{};
    ASSERT_EQ(vra_hwr_associate_words(id, nullptr, "今天", &a), 0);
    ASSERT_EQ(a.count, 2u);
    EXPECT_STREQ(a.items[0], "今天-next");
    EXPECT_STREQ(a.items[1],
                 "associatemodel=multi,candnum=16,capkey=hwr.local.associateword,dispcode=nochange,"
                 "fullhalf=half,openslant=no,realtime=no,recursive=yes,splitmode=line,"
                 "wordmode=mixed");
    EXPECT_EQ(vra_hwr_free_associate_words_result(&a), 0);
    EXPECT_EQ(a.items, nullptr);
    ASSERT_EQ(vra_hwr_associate_words(id, "tp_assoc=nulltexts", "x", &a), 0);
    EXPECT_STREQ(a.items[0], "");
    EXPECT_STREQ(a.items[1], "second");
    vra_hwr_free_associate_words_result(&a);
    EXPECT_EQ(vra_hwr_associate_words(id, "associatemodel=both", "x", &a), 3);
    EXPECT_EQ(vra_hwr_associate_words(id, nullptr, "", &a), 1);
    EXPECT_EQ(vra_hwr_associate_words_adjust(id, "anything=goes", "ok"), 0);
    Sys().ClearLog();
    EXPECT_EQ(vra_hwr_associate_words_adjust(id, nullptr, "refuse"), 304);
    EXPECT_FALSE(Sys().LogContains("FAILED")) << "plug-in codes of adjustments pass without a line";

    HwrPinyinResult p{};
    ASSERT_EQ(vra_hwr_pinyin(id, nullptr, "中", &p), 0);
    ASSERT_EQ(p.count, 2u);
    EXPECT_STREQ(p.items[0], "py:中");
    EXPECT_NE(std::string(p.items[1]).find("pinyinmodel=withtone"), std::string::npos);
    vra_hwr_free_pinyin_result(&p);
    EXPECT_EQ(vra_hwr_pinyin(id, "pinyinmodel=tone", "中", &p), 3);

    HwrPenScriptResult ps{};
    ASSERT_EQ(vra_hwr_pen_script(id, nullptr, -1, 0, &ps), 0);
    ASSERT_EQ(ps.count, 1u);
    EXPECT_EQ(ps.items[0].dim1 * ps.items[0].dim2, 6);
    EXPECT_EQ(ps.items[0].data[5], 50);
    EXPECT_EQ(ps.items[0].value1, -1);
    vra_hwr_free_pen_script_result(&ps);
    EXPECT_EQ(ps.items, nullptr);
    EXPECT_EQ(vra_hwr_pen_script(id, nullptr, -1, 3, &ps), 1);
    EXPECT_EQ(vra_hwr_pen_script(id, nullptr, 5, -1, &ps), 1);

    uint32_t letter = StartOk("capkey=hwr.local.letter");
    std::string longText(2047, 'a');
    HwrConfirmItem item{longText.c_str()};
    EXPECT_EQ(vra_hwr_confirm(letter, &item), 302) << "nothing recognised yet";
    RecogTexts(letter, ShortWriting());
    EXPECT_EQ(vra_hwr_confirm(letter, &item), 0);
    longText.push_back('a');
    item.text = longText.c_str();
    EXPECT_EQ(vra_hwr_confirm(letter, &item), 20);
    item.text = "";
    EXPECT_EQ(vra_hwr_confirm(letter, &item), 1);
    EXPECT_EQ(vra_hwr_confirm(letter, nullptr), 1);
}

TEST_F(Sessions, FailedPluginStopStillFreesTheId) {
    ASSERT_EQ(InitKit(), 0);
    uint32_t id = StartOk("capkey=hwr.local.letter,tp_stop=fail");
    EXPECT_EQ(vra_hwr_session_stop(id), -1);
    open_.clear();
    EXPECT_TRUE(Sys().LogContains("[VRA_HWR][HwrSdk::StopSession] FAILED(-1:"));
    EXPECT_EQ(vra_hwr_session_stop(id), 16);
    EXPECT_EQ(StartOk("capkey=hwr.local.letter"), id);
    StopAll();
    EXPECT_EQ(vra_hwr_release(), 0) << "the plug-in drops its leftover engine at release";
}

TEST_F(Sessions, FailedPluginStartLeavesNoSession) {
    ASSERT_EQ(InitKit(), 0);
    uint32_t id = 0;
    EXPECT_EQ(Start("capkey=hwr.local.letter,tp_start=fail", id), 306);
    EXPECT_EQ(StartOk("capkey=hwr.local.letter"), 0u) << "slot 0 stayed free";
}

}  // namespace
}  // namespace kit_test
