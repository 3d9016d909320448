// UdevDeviceWatch: the HID interfaces known to udev, listed and monitored (netlink events of the
// "hid" subsystem, read on the user-interface thread).
#pragma once

#include <memory>

#include "DeviceWatch.h"

class QSocketNotifier;
struct udev;
struct udev_monitor;

class UdevDeviceWatch : public DeviceWatch {
  public:
    UdevDeviceWatch();
    ~UdevDeviceWatch() override;

    bool PresentHidInterfaces(std::vector<std::string> *paths) override;
    bool RegisterDeviceNotification(HWND window) override;
    void UnregisterDeviceNotification() override;

  private:
    void ReadEvent();

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    HWND m_window = nullptr;
};
