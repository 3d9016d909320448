// DeviceWatch: the HID device interfaces present and their arrival and removal. Each interface
// is named by a device path of the form "\\?\hid#vid_0617&pid_1004&mi_00#...#{class id}" (lower
// case when listed, upper case in notifications), so that matching rules written for such paths
// hold. Back-ends: UdevDeviceWatch; RecordingDeviceWatch for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CDialog.h"

// wParam of WM_DEVICECHANGE.
constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
constexpr WPARAM DBT_DEVICEREMOVECOMPLETE = 0x8004;
// Device type of a notification record.
constexpr std::uint32_t DBT_DEVTYP_DEVICEINTERFACE = 5;

// The record that lParam of WM_DEVICECHANGE points to while the message is handled (it is sent,
// never posted). Only device-interface records carry a name.
struct DeviceBroadcast {
    std::uint32_t deviceType = DBT_DEVTYP_DEVICEINTERFACE;
    std::string name;
};

class DeviceWatch {
  public:
    virtual ~DeviceWatch() = default;
    // The paths of the HID interfaces present now; false when they cannot be listed.
    virtual bool PresentHidInterfaces(std::vector<std::string> *paths) = 0;
    // From now on sends WM_DEVICECHANGE to `window` for every HID interface that arrives or goes.
    virtual bool RegisterDeviceNotification(HWND window) = 0;
    virtual void UnregisterDeviceNotification() = 0;
};
