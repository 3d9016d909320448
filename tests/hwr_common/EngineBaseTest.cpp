#include <gtest/gtest.h>

#include "EngineHandleCache.h"
#include "KitTestSupport.h"
#include "LibraryContext.h"
#include "RecogEngineInterface.h"
#include "vra_sys.h"

using namespace qvcommon;

namespace {

class CountingHelper : public EngineHelper {
  public:
    int InitVraEngineHandle(const std::string &dataPath, const std::string &prefix,
                            uint32_t &handle) override {
        ++inits;
        lastDataPath = dataPath;
        if (prefix == "bad_")
            return 14;
        handle = static_cast<uint32_t>(100 + inits);
        return 0;
    }
    int ReleaseVraEngineHandle(uint32_t) override {
        ++releases;
        return 0;
    }
    std::string GetHelperName() override { return "test.helper"; }
    int inits = 0, releases = 0;
    std::string lastDataPath;
};

class HelperEngine : public RecogEngineInterface {
  public:
    explicit HelperEngine(EngineHelper *helper) { engineHelper_ = helper; }
};

ConfigAssistant Config(const char *text) {
    ConfigAssistant c;
    EXPECT_TRUE(c.ParseConfig(text));
    return c;
}

TEST(EngineBase, StartSessionReadsTheKeys) {
    kit_test::SysSession sys("appkey=default-app");
    struct Case {
        const char *config;
        const char *appkey, *capkind;
        int calltype;
    } cases[] = {
        {"capkey=hwr.cloud.freewrite.english,calltype=2", "default-app", "freewrite", 2},
        {"capkey=hwr.local,appkey=mine,calltype=-1", "mine", "", -1},
        {"capkey=hwr..local..letter,calltype=2a", "default-app", "letter", 0},
        {"calltype=", "default-app", "", 0},
    };
    for (const Case &c : cases) {
        ConfigAssistant config;
        config.ParseConfig(c.config);  // "calltype=" fails and leaves the map empty
        RecogEngineInterface engine;
        EXPECT_EQ(engine.StartSession(config), 0);
        EXPECT_EQ(engine.GetAppKey(), c.appkey) << c.config;
        EXPECT_EQ(engine.GetCapKind(), c.capkind) << c.config;
        EXPECT_EQ(engine.GetCallType(), c.calltype) << c.config;
    }
}

TEST(EngineBase, MergeConfigPutsCallKeysOverSessionKeys) {
    RecogEngineInterface engine;
    ASSERT_EQ(engine.StartSession(Config("capkey=k,candnum=10")), 0);
    ConfigAssistant out = Config("stale=1");
    EXPECT_TRUE(engine.MergeConfig(Config("candnum=3"), out));
    EXPECT_EQ(out.ToString(), "candnum=3,capkey=k");
}

TEST(EngineBase, SessionsShareOneHandlePerHelperAndPrefix) {
    kit_test::SysSession sys;
    LibraryContext::Instance().SetDataPath("/data/res");
    CountingHelper helper;
    HelperEngine a(&helper), b(&helper), c(&helper), d(&helper);
    ASSERT_EQ(a.StartSession(Config("capkey=k,resprefix=zh_")), 0);
    ASSERT_EQ(b.StartSession(Config("capkey=k,resPrefix=zh_")), 0);
    EXPECT_EQ(a.EngineHandle(), b.EngineHandle());
    EXPECT_EQ(helper.inits, 1);
    EXPECT_EQ(helper.lastDataPath, "/data/res/");
    ASSERT_EQ(c.StartSession(Config("capkey=k")), 0);
    EXPECT_NE(c.EngineHandle(), a.EngineHandle());
    EXPECT_EQ(helper.inits, 2);
    EXPECT_TRUE(
        sys.Logged("[qvcommon][RecogEngineInterface::GetVraEngineHandle] engine_handle_key: "
                   "[test.helperzh_]"));
    EXPECT_EQ(d.StartSession(Config("capkey=k,resprefix=bad_")), 14);
    EXPECT_EQ(EngineHandleCache::Instance().Size(), 2u) << "a failed helper call caches nothing";
    EngineHandleCache::Instance().ReleaseAll();
    EXPECT_EQ(helper.releases, 2);
    LibraryContext::Instance().Clear();
}

TEST(EngineBase, UsageRecordIsSubmittedAtStop) {
    kit_test::SysSession sys("latitude=31.5,longitude=117.25,appkey=app0");
    RecogEngineInterface engine;
    ConfigAssistant config = Config("capkey=hwr.local.letter,appkey=app1,sessionid=9,candnum=5");
    ASSERT_EQ(engine.StartSession(config), 0);
    engine.BeginUsage(config);
    engine.AddUsageData("\x01\x02", 2, false);
    engine.AddUsageData(nullptr, 4, false);
    engine.AddUsageData("\x03", 1, true);
    engine.SetUsageResult("abc");
    engine.SetUsageResult("");  // an empty result changes nothing
    EXPECT_EQ(engine.StopSession(), 0);
    EXPECT_EQ(engine.Usage(), nullptr);

    std::vector<kit_test::HistoryRecord> history = sys.History();
    ASSERT_EQ(history.size(), 1u);
    const kit_test::HistoryRecord &r = history[0];
    EXPECT_EQ(r.appkey, "app1");
    EXPECT_EQ(r.capkey, "hwr.local.letter");
    EXPECT_EQ(r.data, std::string("\x01\x02\x03"));
    EXPECT_EQ(r.result, "abc");
    const std::string head = "candnum=5,capkey=hwr.local.letter,ReqTime=";
    ASSERT_EQ(r.info.compare(0, head.size(), head), 0) << r.info;
    EXPECT_NE(r.info.find(",ProcTime="), std::string::npos);
    const std::string tail = ",latitude=31.500000,longitude=117.250000";
    EXPECT_EQ(r.info.substr(r.info.size() - tail.size()), tail);
}

TEST(EngineBase, UsageRecordWithoutResultOrLocation) {
    kit_test::SysSession sys;
    RecogEngineInterface engine;
    ASSERT_EQ(engine.StartSession(Config("capkey=hwr.cloud.letter")), 0);
    engine.BeginUsage(Config("capkey=hwr.cloud.letter"));
    engine.BeginUsage(Config("capkey=hwr.cloud.letter"));  // submits the first
    engine.StopSession();
    std::vector<kit_test::HistoryRecord> history = sys.History();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[1].result, "");
    EXPECT_EQ(history[1].info.find("latitude"), std::string::npos);
    EXPECT_EQ(history[1].info.rfind("capkey=hwr.cloud.letter,ReqTime=0,ProcTime=0", 0), 0u);
}

TEST(EngineBase, TooManyPiecesDropEverythingBefore) {
    UsageRecord record;
    for (int i = 0; i < 1501; ++i)
        record.AddData("x", 1, false);
    record.SetResult("abc");
    EXPECT_EQ(record.PieceCount(), 1501u);
    record.AddData("y", 1, true);  // the 1502nd
    EXPECT_EQ(record.PieceCount(), 1u);
    EXPECT_TRUE(record.Result().empty());
}

}  // namespace
