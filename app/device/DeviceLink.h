// DeviceLink: which HID interfaces are the mouse. Two devices are accepted: vendor 0617 with
// product 1004, and vendor 0D8C with product 013C.
#pragma once

#include <string>
#include <string_view>

#include "platform/DeviceWatch.h"

// The accepted vendor and product ids, four upper-case hexadecimal digits each, the first
// device's before the bar, the second's after it.
extern const std::u16string g_vidList;
extern const std::u16string g_pidList;

// True if a present HID interface's path contains "vid_<vendor>&pid_<product>" in lower case.
// A failed listing counts as absence.
bool IsDevicePresent(DeviceWatch &watch, std::u16string_view vendor, std::u16string_view product);

// The start-up test: the first device, else the second.
bool IsMousePresent(DeviceWatch &watch);

// Whether a device-change record names an interface of an accepted device: the name must hold
// "HID#", the vendor text after its first "VID_" (up to the next '&') must occur in g_vidList and
// the four characters after its first "PID_" (fewer at the end of the name) in g_pidList, case
// ignored. Names that lack one of these parts, or give an empty id, match nothing.
bool DeviceMatches(const DeviceBroadcast &record);
