#include "platform/HidDevicePath.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const char *hidId;
    const char *phys;
    const char *sysName;
    bool upper;
    const char *path;
};

class HidPath : public testing::TestWithParam<PathCase> {};

TEST_P(HidPath, RendersWhatUdevSays) {
    const PathCase &c = GetParam();
    EXPECT_EQ(HidDevicePath(c.hidId, c.phys, c.sysName, c.upper), c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, HidPath,
    testing::Values(
        PathCase{"0003:00000617:00001004", "usb-0000:00:14.0-3/input1", "0003:0617:1004.0005",
                 false,
                 "\\\\?\\hid#vid_0617&pid_1004&mi_01#0003&0617&1004&0005#"
                 "{4d1e55b2-f16f-11cf-88cb-001111000030}"},
        PathCase{"0003:00000D8C:0000013C", "usb-0000:00:14.0-2/input0", "0003:0D8C:013C.0001", true,
                 "\\\\?\\HID#VID_0D8C&PID_013C&MI_00#0003&0D8C&013C&0001#"
                 "{4D1E55B2-F16F-11CF-88CB-001111000030}"},
        // Bluetooth and virtual devices have no interface number.
        PathCase{"0005:0000046D:0000B023", "aa:bb:cc:dd:ee:ff", "0005:046D:B023.0002", false,
                 "\\\\?\\hid#vid_046d&pid_b023#0005&046d&b023&0002#"
                 "{4d1e55b2-f16f-11cf-88cb-001111000030}"},
        PathCase{"0003:00000617:00001004", "", "", false,
                 "\\\\?\\hid#vid_0617&pid_1004##{4d1e55b2-f16f-11cf-88cb-001111000030}"},
        // Not a HID id: no path.
        PathCase{"", "", "x", false, ""}, PathCase{"0003:0617", "", "x", false, ""},
        PathCase{"0003:00010617:00001004", "", "x", false, ""},
        PathCase{"0003:0000G617:00001004", "", "x", false, ""}));

}  // namespace
