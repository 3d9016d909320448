// Capability routing and plug-in loading through the real front end and dlopen.
#include <gtest/gtest.h>

#include "KitFixture.h"

namespace kit_test {
namespace {

class Routing : public KitTest {};

const char *kCloudSys = "serviceurl.hwr.cloud=http://127.0.0.1:9/hwr";

std::string Lib(const std::vector<std::string> &texts) {
    for (const std::string &t : texts) {
        if (t.rfind("lib:", 0) == 0)
            return t.substr(4);
    }
    return texts.empty() ? "" : texts[0];
}

TEST_F(Routing, CapabilityKeysSelectTheirLibrary) {
    ASSERT_EQ(InitKit("datapath=/data/res", kCloudSys), 0);
    struct Case {
        const char *capkey;
        int code;
        const char *library;  // which file answered the recognition
    } cases[] = {
        {"hwr.local.associateword", 0, "libvra_hwr_associate.so"},
        {"hwr.local.freestylus.v7", 0, "libvra_hwr_local_recog.so"},
        {"hwr.local.letter", 0, "libvra_hwr_local_recog.so"},
        {"hwr.local.gesture", 0, "libvra_hwr_local_recog.so"},
        {"hwr.cloud.letter", 0, "libvra_hwr_cloud_recog.so"},
        {"hwr.cloud.freewrite.english", 0, "libvra_hwr_cloud_recog.so"},
        {"hwr.cloudy.letter", 0, "libvra_hwr_cloud_recog.so"},  // contains "cloud"
        {"hwr.local.other", 22, nullptr},
        {"hwr.remote.letter", 22, nullptr},
        {"hwr.", 22, nullptr},
        {"HWR.Local.Letter", 22, nullptr},  // the routing tests are case-sensitive
        {"asr.local.letter", 5, nullptr},
        {"hwr.local.pinyin", 23, nullptr},  // routed to a library that does not exist here
        {"hwr.local.penscript", 23, nullptr},
    };
    for (const Case &c : cases) {
        uint32_t id = 0;
        int code = Start(std::string("capkey=") + c.capkey, id);
        EXPECT_EQ(code, c.code) << c.capkey;
        if (code == 0 && c.library) {
            EXPECT_EQ(Lib(RecogTexts(id, ShortWriting())), c.library) << c.capkey;
            StopAll();
        }
    }
}

TEST_F(Routing, CloudKeysCarryTheServiceAddress) {
    ASSERT_EQ(InitKit("datapath=/data/res", kCloudSys), 0);
    uint32_t id = StartOk("capkey=hwr.cloud.letter");
    std::vector<std::string> texts = RecogTexts(id, ShortWriting());
    ASSERT_FALSE(texts.empty());
    EXPECT_NE(texts[0].find("requesturl=http://127.0.0.1:9/hwr"), std::string::npos) << texts[0];
}

TEST_F(Routing, CloudKeyWithoutServiceAddressFails) {
    ASSERT_EQ(InitKit(), 0);
    uint32_t id = 0;
    EXPECT_EQ(Start("capkey=hwr.cloud.letter", id), VRA_SYS_ERR_NO_SERVICE_URL);
    EXPECT_TRUE(
        Sys().Logged("[qvcommon][SdkInterface::ApplyServiceUrl] VRA_ApplyServiceUrlSynch 103"));
}

TEST_F(Routing, WithoutDataPathLocalKeysFailAndCloudKeysWork) {
    ASSERT_EQ(InitKit("", kCloudSys), 0);
    uint32_t id = 0;
    EXPECT_EQ(Start("capkey=hwr.local.letter", id), 6);
    EXPECT_TRUE(
        Sys().Logged("[qvcommon][SdkInterface::PrepareForCapkey] local capkey(hwr.local.letter) "
                     "but no datapath"));
    EXPECT_EQ(Start("capkey=hwr.remote.letter", id), 6) << "the data-path rule comes first";
    EXPECT_EQ(Start("capkey=hwr.cloud.letter", id), 0);
}

TEST_F(Routing, OneLibraryIsLoadedOnceAndUnloadedAtRelease) {
    ASSERT_EQ(InitKit(), 0);
    const std::string local = PluginDir("wellformed") + "/libvra_hwr_local_recog.so";
    EXPECT_FALSE(IsLoaded(local));
    uint32_t a = StartOk("capkey=hwr.local.letter");
    uint32_t b = StartOk("capkey=hwr.local.freestylus");
    EXPECT_TRUE(IsLoaded(local));
    EXPECT_EQ(RecogTexts(a, ShortWriting())[2], "inits:1");
    EXPECT_EQ(RecogTexts(b, ShortWriting())[2], "inits:1") << "a second key, no second init";
    StopAll();
    ASSERT_EQ(vra_hwr_release(), 0);
    EXPECT_FALSE(IsLoaded(local));

    // A new initialisation loads the library afresh.
    ASSERT_EQ(vra_hwr_init(("datapath=/d,pluginpath=" + PluginDir("wellformed")).c_str()), 0);
    uint32_t c = StartOk("capkey=hwr.local.letter");
    EXPECT_EQ(RecogTexts(c, ShortWriting())[2], "inits:1");
}

TEST_F(Routing, LibraryLackingAnEntryPointIsRefusedEachTime) {
    ASSERT_EQ(InitKit("datapath=/d", "", "missing_entry"), 0);
    const std::string file = PluginDir("missing_entry") + "/libvra_hwr_local_recog.so";
    uint32_t id = 0;
    EXPECT_EQ(Start("capkey=hwr.local.letter", id), 23);
    EXPECT_FALSE(IsLoaded(file)) << "unloaded again";
    EXPECT_TRUE(Sys().LogContains("VraHwrStopSessionFunc[") &&
                Sys().LogContains("\t\t\t\t VraHwrReleaseFunc[0]"));
    EXPECT_TRUE(
        Sys().Logged("[qvcommon][IDllInterface::Load] Init dll vra_hwr_local_recog.dll failed."));
    EXPECT_TRUE(Sys().Logged(
        "[qvcommon][SdkInterface::PrepareForCapkey] Load(hwr.local.letter) return 23"));
    EXPECT_TRUE(Sys().Logged(
        "[qvcommon][SdkInterface::StartSession] PrepareForCapkey(hwr.local.letter) return 23"));
    Sys().ClearLog();
    EXPECT_EQ(Start("capkey=hwr.local.letter", id), 23) << "prepared anew";
    EXPECT_TRUE(Sys().LogContains("Load function from lib failed"));
}

TEST_F(Routing, FailingPluginInitUnloadsIt) {
    ASSERT_EQ(InitKit("datapath=/d", "", "failing_init"), 0);
    uint32_t id = 0;
    EXPECT_EQ(Start("capkey=hwr.local.letter", id), 14);
    EXPECT_FALSE(IsLoaded(PluginDir("failing_init") + "/libvra_hwr_local_recog.so"));
    EXPECT_TRUE(
        Sys().Logged("[qvcommon][IDllInterface::Load] Init dll vra_hwr_local_recog.dll failed."));
    EXPECT_TRUE(Sys().Logged(
        "[qvcommon][SdkInterface::PrepareForCapkey] Load(hwr.local.letter) return 14"));
}

TEST_F(Routing, MissingLibraryFileIsCode23) {
    ASSERT_EQ(InitKit("datapath=/d,pluginpath=/nonexistent", ""), 0);
    uint32_t id = 0;
    // No test plug-in in the search folders: whatever the build tree holds beside libvra_hwr.so
    // may answer for the real local plug-in, so ask for one that never exists.
    EXPECT_EQ(Start("capkey=hwr.local.penscript", id), 23);
    EXPECT_TRUE(Sys().LogContains("[qvcommon][OsAdapter::OS_LoadLibrary] LoadLibrary failed:"));
    EXPECT_TRUE(
        Sys().Logged("[qvcommon][IDllInterface::Load] Load dll vra_hwr_penscript.dll failed."));
}

TEST_F(Routing, InitCapkeysLoadAtInitAndSkipDialogKeys) {
    ASSERT_EQ(
        InitKit("datapath=/d,initcapkeys=hwr.local.letter;;asr.local.dialog; hwr.cloud.letter",
                kCloudSys),
        0);
    EXPECT_TRUE(IsLoaded(PluginDir("wellformed") + "/libvra_hwr_local_recog.so"));
    EXPECT_TRUE(IsLoaded(PluginDir("wellformed") + "/libvra_hwr_cloud_recog.so"));
    EXPECT_FALSE(IsLoaded(PluginDir("wellformed") + "/libvra_hwr_associate.so"));
    uint32_t id = StartOk("capkey=hwr.local.letter");
    EXPECT_EQ(RecogTexts(id, ShortWriting())[2], "inits:1");
}

TEST_F(Routing, FailingInitCapkeyLeavesTheKitUninitialised) {
    EXPECT_EQ(InitKit("datapath=/d,initcapkeys=hwr.local.letter;hwr.local.other"), 22);
    EXPECT_FALSE(IsLoaded(PluginDir("wellformed") + "/libvra_hwr_local_recog.so"));
    uint32_t id = 0;
    EXPECT_EQ(vra_hwr_session_start("capkey=hwr.local.letter", &id), 300);
    EXPECT_TRUE(Sys().Logged("[VRA_HWR][HwrSdk::Init] FAILED(22:not supported)"));
    EXPECT_EQ(vra_hwr_init(("datapath=/d,pluginpath=" + PluginDir("wellformed")).c_str()), 0);
}

}  // namespace
}  // namespace kit_test
