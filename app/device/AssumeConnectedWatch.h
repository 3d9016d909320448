// AssumeConnectedWatch: a DeviceWatch that reports the mouse present besides what the real watch
// lists (the --assume-connected option: for people without the mouse, whose F15/F16 then work from
// any keyboard, and for tests). Notifications come from the real watch unchanged.
#pragma once

#include <memory>

#include "platform/DeviceWatch.h"

class AssumeConnectedWatch : public DeviceWatch {
  public:
    explicit AssumeConnectedWatch(std::unique_ptr<DeviceWatch> real) : m_real(std::move(real)) {}

    // The path of the mouse that is assumed present.
    static const char *AssumedPath();

    bool PresentHidInterfaces(std::vector<std::string> *paths) override;
    bool RegisterDeviceNotification(HWND window) override {
        return m_real->RegisterDeviceNotification(window);
    }
    void UnregisterDeviceNotification() override { m_real->UnregisterDeviceNotification(); }

  private:
    std::unique_ptr<DeviceWatch> m_real;
};
