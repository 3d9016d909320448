#include "TibetanMap.h"

#include <string>

namespace hwrlocal {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    // Upper case is not in the files we ship, but a hand-edited map may use it.
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The code units of a value token; false when it is malformed.
bool ParseValue(const std::string &token, std::vector<uint16_t> &units) {
    const size_t groups = token.size() / 4;
    if (groups == 0 || groups > kTibetanMaxUnits)
        return false;
    units.clear();
    for (size_t g = 0; g < groups; ++g) {
        uint16_t unit = 0;
        for (size_t k = 0; k < 4; ++k) {
            const int d = HexDigit(token[4 * g + k]);
            if (d < 0)
                return false;
            unit = static_cast<uint16_t>(unit * 16 + d);
        }
        units.push_back(unit);
    }
    return true;
}

}  // namespace

void ReadTibetanMapStream(std::istream &in, TibetanMap &map, int *skipped) {
    in >> std::hex;
    for (;;) {
        // A 16-bit read: a key past 0xFFFF fails the stream and ends the map.
        uint16_t key = 0;
        if (!(in >> key))
            break;
        std::string token;
        if (!(in >> token))
            break;
        std::vector<uint16_t> units;
        if (!ParseValue(token, units)) {
            if (skipped)
                ++*skipped;
            continue;
        }
        map.emplace(key, std::move(units));
    }
}

}  // namespace hwrlocal
