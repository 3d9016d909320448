#include "HidDevicePath.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

// One hexadecimal field of HID_ID; false when it is not hexadecimal or too large.
bool HexField(std::string_view field, unsigned long max, unsigned long *value) {
    if (field.empty() || field.size() > 8)
        return false;
    *value = 0;
    for (char c : field) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        *value =
            *value * 16 + static_cast<unsigned long>(std::isdigit(static_cast<unsigned char>(c))
                                                         ? c - '0'
                                                         : std::tolower(c) - 'a' + 10);
    }
    return *value <= max;
}

}  // namespace

std::string HidDevicePath(std::string_view hidId, std::string_view phys, std::string_view sysName,
                          bool upperCase) {
    size_t first = hidId.find(':'), second = hidId.find(':', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos)
        return {};
    unsigned long bus = 0, vendor = 0, product = 0;
    if (!HexField(hidId.substr(0, first), 0xFFFF, &bus) ||
        !HexField(hidId.substr(first + 1, second - first - 1), 0xFFFF, &vendor) ||
        !HexField(hidId.substr(second + 1), 0xFFFF, &product))
        return {};

    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04lx&pid_%04lx", vendor, product);
    std::string path = std::string("\\\\?\\hid#") + ids;
    // The interface number of a composite device: the digits after the last "/input".
    size_t input = phys.rfind("/input");
    if (input != std::string_view::npos) {
        std::string_view digits = phys.substr(input + 6);
        if (!digits.empty() && digits.size() <= 3 &&
            digits.find_first_not_of("0123456789") == std::string_view::npos) {
            char mi[16];
            std::snprintf(mi, sizeof mi, "&mi_%02d", std::atoi(std::string(digits).c_str()));
            path += mi;
        }
    }
    path += '#';
    for (char c : sysName)
        path += (c == ':' || c == '.' || c == '#' || c == '\\') ? '&' : c;
    path += '#';
    path += kHidInterfaceClass;
    for (char &c : path)
        c = static_cast<char>(upperCase ? std::toupper(static_cast<unsigned char>(c))
                                        : std::tolower(static_cast<unsigned char>(c)));
    return path;
}
