#include "DeviceLink.h"

#include <cctype>

#include "platform/CodePage.h"

const std::u16string g_vidList = u"0617|0D8C";
const std::u16string g_pidList = u"1004|013C";

namespace {

std::string Lower(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Upper(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

bool IsDevicePresent(DeviceWatch &watch, std::u16string_view vendor, std::u16string_view product) {
    const std::string wanted = Lower("vid_" + WideToUtf8(vendor) + "&pid_" + WideToUtf8(product));
    std::vector<std::string> paths;
    if (!watch.PresentHidInterfaces(&paths))
        return false;
    for (const std::string &path : paths)
        if (path.find(wanted) != std::string::npos)
            return true;
    return false;
}

bool IsMousePresent(DeviceWatch &watch) {
    return IsDevicePresent(watch, std::u16string_view(g_vidList).substr(0, 4),
                           std::u16string_view(g_pidList).substr(0, 4)) ||
           IsDevicePresent(watch, std::u16string_view(g_vidList).substr(g_vidList.size() - 4),
                           std::u16string_view(g_pidList).substr(g_pidList.size() - 4));
}

bool DeviceMatches(const DeviceBroadcast &record) {
    // Records of other device types carry no name: the placeholders "VID_" and "PID_" match
    // nothing.
    if (record.deviceType != DBT_DEVTYP_DEVICEINTERFACE)
        return false;
    const std::string name = Upper(record.name);
    if (name.find("HID#") == std::string::npos)
        return false;
    size_t vid = name.find("VID_"), pid = name.find("PID_");
    if (vid == std::string::npos || pid == std::string::npos)
        return false;
    vid += 4;
    size_t amp = name.find('&', vid);
    if (amp == std::string::npos)
        return false;
    const std::string vendor = name.substr(vid, amp - vid);
    const std::string product = name.substr(pid + 4, 4);
    if (vendor.empty() || product.empty())
        return false;
    return WideToUtf8(g_vidList).find(vendor) != std::string::npos &&
           WideToUtf8(g_pidList).find(product) != std::string::npos;
}
