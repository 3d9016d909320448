#include "UdevDeviceWatch.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <cstring>

#include "HidDevicePath.h"

namespace {

std::string PathOf(udev_device *device, bool upperCase) {
    const char *id = udev_device_get_property_value(device, "HID_ID");
    const char *phys = udev_device_get_property_value(device, "HID_PHYS");
    const char *name = udev_device_get_sysname(device);
    if (!id)
        return {};
    return HidDevicePath(id, phys ? phys : "", name ? name : "", upperCase);
}

}  // namespace

UdevDeviceWatch::UdevDeviceWatch() : m_udev(udev_new()) {}

UdevDeviceWatch::~UdevDeviceWatch() {
    UnregisterDeviceNotification();
    if (m_udev)
        udev_unref(m_udev);
}

bool UdevDeviceWatch::PresentHidInterfaces(std::vector<std::string> *paths) {
    paths->clear();
    if (!m_udev)
        return false;
    udev_enumerate *list = udev_enumerate_new(m_udev);
    if (!list)
        return false;
    bool ok = udev_enumerate_add_match_subsystem(list, "hid") >= 0 &&
              udev_enumerate_scan_devices(list) >= 0;
    if (ok) {
        udev_list_entry *entry;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(list)) {
            udev_device *device =
                udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry));
            if (!device)
                continue;
            std::string path = PathOf(device, false);
            if (!path.empty())
                paths->push_back(std::move(path));
            udev_device_unref(device);
        }
    }
    udev_enumerate_unref(list);
    return ok;
}

bool UdevDeviceWatch::RegisterDeviceNotification(HWND window) {
    UnregisterDeviceNotification();
    if (!m_udev)
        return false;
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor)
        return false;
    if (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hid", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        return false;
    }
    m_window = window;
    m_notifier =
        std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { ReadEvent(); });
    return true;
}

void UdevDeviceWatch::UnregisterDeviceNotification() {
    m_notifier.reset();
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    m_monitor = nullptr;
    m_window = nullptr;
}

void UdevDeviceWatch::ReadEvent() {
    udev_device *device = udev_monitor_receive_device(m_monitor);
    if (!device)
        return;
    const char *action = udev_device_get_action(device);
    WPARAM event = 0;
    if (action && std::strcmp(action, "add") == 0)
        event = DBT_DEVICEARRIVAL;
    if (action && std::strcmp(action, "remove") == 0)
        event = DBT_DEVICEREMOVECOMPLETE;
    DeviceBroadcast record;
    record.name = PathOf(device, true);
    udev_device_unref(device);
    if (event && !record.name.empty())
        ::SendMessage(m_window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record));
}
