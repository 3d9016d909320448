// Which device paths are the mouse, and how the controller follows arrivals and removals.
#include "device/DeviceLink.h"

#include "ControllerFixture.h"
#include "device/AssumeConnectedWatch.h"
#include "shell/CMiniBar.h"

namespace {

struct NameCase {
    const char *name;
    std::uint32_t deviceType;
    bool matches;
};

class DeviceName : public testing::TestWithParam<NameCase> {};

TEST_P(DeviceName, MatchesOnlyTheAcceptedIds) {
    DeviceBroadcast record{GetParam().deviceType, GetParam().name};
    EXPECT_EQ(DeviceMatches(record), GetParam().matches) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DeviceName,
    testing::Values(
        NameCase{"\\\\?\\HID#VID_0617&PID_1004&MI_01#7&1A2B&0&0000#{4D1E55B2-F16F-11CF-88CB-"
                 "001111000030}",
                 5, true},
        NameCase{"\\\\?\\hid#vid_0d8c&pid_013c#6&2&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                 5, true},
        // The two lists are searched independently: mixed ids connect too.
        NameCase{"\\\\?\\HID#VID_0617&PID_013C#1#{x}", 5, true},
        NameCase{"\\\\?\\HID#VID_0D8C&PID_1004#1#{x}", 5, true},
        NameCase{"\\\\?\\HID#VID_046D&PID_C077#1#{x}", 5, false},
        NameCase{"\\\\?\\HID#VID_0617&PID_C077#1#{x}", 5, false},
        // Not HID, or not a device interface at all.
        NameCase{"\\\\?\\USB#VID_0617&PID_1004#5&1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", 5,
                 false},
        NameCase{"\\\\?\\HID#VID_0617&PID_1004#1#{x}", 2, false},
        // Malformed names match nothing instead of reading past their end.
        NameCase{"\\\\?\\HID#VID_0617", 5, false}, NameCase{"HID#PID_1004", 5, false},
        NameCase{"HID#VID_&PID_1004", 5, false}, NameCase{"HID#VID_0617&PID_", 5, false},
        NameCase{"HID#PID_1004&VID_0617", 5, false}, NameCase{"", 5, false},
        // A product text cut short by the end of the name is still looked for.
        NameCase{"HID#VID_0617&PID_10", 5, true}));

TEST(DeviceLink, PresenceNeedsALowerCaseMatchOfEitherDevice) {
    RecordingDeviceWatch watch;
    EXPECT_FALSE(IsMousePresent(watch));
    watch.present = {"\\\\?\\hid#vid_0d8c&pid_013c#x"};
    EXPECT_TRUE(IsMousePresent(watch));
    watch.present = {"\\\\?\\HID#VID_0617&PID_1004#x"};
    EXPECT_FALSE(IsMousePresent(watch)) << "the listed paths are compared case-sensitively";
    watch.present = {"\\\\?\\hid#vid_0617&pid_013c#x"};
    EXPECT_FALSE(IsMousePresent(watch)) << "at start-up mixed ids are not looked for";
    watch.present = {"\\\\?\\hid#vid_0617&pid_1004#x"};
    watch.listingFails = true;
    EXPECT_FALSE(IsMousePresent(watch)) << "a failed listing counts as absence";
}

TEST(DeviceLink, AssumeConnectedAddsTheMouse) {
    auto real = std::make_unique<RecordingDeviceWatch>();
    RecordingDeviceWatch *inner = real.get();
    inner->listingFails = true;
    AssumeConnectedWatch watch(std::move(real));
    EXPECT_TRUE(IsMousePresent(watch));
    EXPECT_TRUE(watch.RegisterDeviceNotification(nullptr));
    EXPECT_EQ(inner->listings, 1);
}

// Arrivals and removals as the controller sees them.
struct Event {
    WPARAM event;
    const char *name;
    std::uint32_t type;
};

struct SequenceCase {
    const char *title;
    bool connectedAtStart;
    std::vector<Event> events;
    bool connectedAfter;
    std::vector<std::string> log;
    int tips;  // brief tips shown for the events
};

const char kMouse[] = "\\\\?\\HID#VID_0617&PID_1004&MI_00#7&1&0&0000#{x}";
const char kMouseOther[] = "\\\\?\\HID#VID_0617&PID_1004&MI_01#7&1&0&0001#{x}";
const char kOther[] = "\\\\?\\HID#VID_046D&PID_C077#7&2&0&0000#{x}";

class DeviceSequence : public ControllerTest, public testing::WithParamInterface<SequenceCase> {};

TEST_P(DeviceSequence, ChangesOnlyTheConnection) {
    const SequenceCase &c = GetParam();
    if (!c.connectedAtStart)
        devices_.present.clear();
    Start();
    for (const Event &e : c.events)
        EXPECT_EQ(devices_.Notify(e.event, e.name, e.type), 1);
    Settle();
    EXPECT_EQ(dlg_->m_connected, c.connectedAfter);
    EXPECT_EQ(LogLines(), c.log);
    EXPECT_EQ(TipRequests(), std::vector<WPARAM>(c.tips, 0));
    EXPECT_EQ(tray_.icons[150].icon, c.connectedAfter ? 150 : 151);
    EXPECT_EQ(tray_.icons[150].szTip, c.connectedAfter ? u"Zelvo" : u"请连接Zelvo");
    if (dlg_->m_pMiniBar) {
        EXPECT_EQ(dlg_->m_pMiniBar->isVisible(), c.connectedAfter);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Events, DeviceSequence,
    testing::Values(
        SequenceCase{
            "Arrival", false, {{DBT_DEVICEARRIVAL, kMouse, 5}}, true, {"已经连接到Zelvo"}, 1},
        SequenceCase{
            "Removal", true, {{DBT_DEVICEREMOVECOMPLETE, kMouse, 5}}, false, {"Zelvo已经断开"}, 1},
        SequenceCase{"SecondInterfaceArrivesQuietly",
                     false,
                     {{DBT_DEVICEARRIVAL, kMouse, 5}, {DBT_DEVICEARRIVAL, kMouseOther, 5}},
                     true,
                     {"已经连接到Zelvo"},
                     1},
        SequenceCase{"RemovalWhileNotConnected",
                     false,
                     {{DBT_DEVICEREMOVECOMPLETE, kMouse, 5}},
                     false,
                     {},
                     0},
        SequenceCase{"OtherDevices",
                     true,
                     {{DBT_DEVICEREMOVECOMPLETE, kOther, 5}, {DBT_DEVICEARRIVAL, kOther, 5}},
                     true,
                     {},
                     0},
        SequenceCase{
            "ArrivalRecordOfAnotherType", false, {{DBT_DEVICEARRIVAL, kMouse, 3}}, false, {}, 0},
        SequenceCase{"OutAndBackIn",
                     true,
                     {{DBT_DEVICEREMOVECOMPLETE, kMouse, 5},
                      {DBT_DEVICEREMOVECOMPLETE, kMouseOther, 5},
                      {DBT_DEVICEARRIVAL, kMouseOther, 5}},
                     true,
                     {"Zelvo已经断开", "已经连接到Zelvo"},
                     2}),
    [](const testing::TestParamInfo<SequenceCase> &info) { return info.param.title; });

TEST_F(ControllerTest, OtherDeviceEventsAreNotHandled) {
    Start();
    EXPECT_EQ(devices_.Notify(0x0007, kMouse), 0);  // a device-node change
    EXPECT_EQ(devices_.Notify(0x8001, kMouse), 0);  // a query
}

TEST_F(ControllerTest, RemovalDuringAnUtteranceLeavesItRunningButIgnoresItsRelease) {
    Start();
    Press();
    speech_.Take();
    devices_.Notify(DBT_DEVICEREMOVECOMPLETE, kMouse);
    Settle();
    EXPECT_TRUE(g_listening) << "the utterance is not stopped";
    Release();
    EXPECT_EQ(speech_.Take(), (std::vector<std::string>{"reset"}));
}

}  // namespace
