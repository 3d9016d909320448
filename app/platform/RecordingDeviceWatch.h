// RecordingDeviceWatch: the test back-end of DeviceWatch. The test sets the interfaces present
// and makes devices arrive and go, which sends WM_DEVICECHANGE as the real watch does.
#pragma once

#include "DeviceWatch.h"

class RecordingDeviceWatch : public DeviceWatch {
  public:
    bool PresentHidInterfaces(std::vector<std::string> *paths) override {
        ++listings;
        *paths = present;
        return !listingFails;
    }
    bool RegisterDeviceNotification(HWND w) override {
        window = w;
        return true;
    }
    void UnregisterDeviceNotification() override { window = nullptr; }

    // Sends one notification; returns the handler's result.
    LRESULT Notify(WPARAM event, const std::string &name,
                   std::uint32_t deviceType = DBT_DEVTYP_DEVICEINTERFACE) {
        DeviceBroadcast record{deviceType, name};
        return ::SendMessage(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record));
    }

    std::vector<std::string> present;
    bool listingFails = false;
    int listings = 0;
    HWND window = nullptr;
};
