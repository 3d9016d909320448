// The device-name rules on arbitrary names, and the path renderer on arbitrary udev values.
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/DeviceLink.h"
#include "platform/HidDevicePath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    DeviceBroadcast record{DBT_DEVTYP_DEVICEINTERFACE, text};
    (void)DeviceMatches(record);
    size_t a = text.find('\n'), b = a == std::string::npos ? a : text.find('\n', a + 1);
    std::string id = text.substr(0, a);
    std::string phys = a == std::string::npos ? "" : text.substr(a + 1, b - a - 1);
    std::string name = b == std::string::npos ? "" : text.substr(b + 1);
    std::string path = HidDevicePath(id, phys, name, true);
    if (!path.empty()) {
        // Whatever a device says of itself, its path is one a HID notification carries.
        DeviceBroadcast rendered{DBT_DEVTYP_DEVICEINTERFACE, path};
        if (path.rfind("\\\\?\\HID#VID_", 0) != 0)
            __builtin_trap();
        (void)DeviceMatches(rendered);
    }
    return 0;
}
