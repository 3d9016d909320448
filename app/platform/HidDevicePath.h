// HidDevicePath: the device path by which a HID interface is known, made from what udev says of
// it: HID_ID ("0003:00000617:00001004": bus, vendor, product), HID_PHYS (".../input1": the
// interface number) and the device's name ("0003:0617:1004.0005"). The path reads
// "\\?\hid#vid_0617&pid_1004&mi_01#0003&0617&1004&0005#{4d1e55b2-f16f-11cf-88cb-001111000030}";
// empty when HID_ID is not of that form.
#pragma once

#include <string>
#include <string_view>

// The HID device-interface class identifier, as paths spell it.
constexpr char kHidInterfaceClass[] = "{4d1e55b2-f16f-11cf-88cb-001111000030}";

std::string HidDevicePath(std::string_view hidId, std::string_view phys, std::string_view sysName,
                          bool upperCase);
