#include "KeyedScramble.h"

#include <cstring>

namespace qvcommon {
namespace {

uint8_t RotateLeft(uint8_t b, unsigned r) {
    r &= 7;
    return r == 0 ? b : static_cast<uint8_t>((b << r) | (b >> (8 - r)));
}

uint8_t RotateRight(uint8_t b, unsigned r) {
    r &= 7;
    return r == 0 ? b : static_cast<uint8_t>((b >> r) | (b << (8 - r)));
}

}  // namespace

std::array<uint8_t, 4> KeyedScrambleMask(const char *key) {
    if (!key)
        key = "";
    const size_t length = strlen(key) + 1;  // the terminating zero takes part
    const auto *k = reinterpret_cast<const uint8_t *>(key);
    uint8_t rolling = 0, product = 1, difference = k[0], sum = 0;
    for (size_t i = 0; i < length; ++i) {
        const unsigned r = static_cast<unsigned>(i % 8);
        rolling = static_cast<uint8_t>((RotateLeft(k[i], r) | rolling) & RotateRight(k[i], r));
        product = static_cast<uint8_t>(product * k[i]);
        if (i > 0)
            difference = static_cast<uint8_t>(difference - k[i]);
        sum = static_cast<uint8_t>(sum + k[i]);
    }
    return {rolling, product, difference, sum};
}

void KeyedScramble(uint8_t *data, size_t size, const char *key) {
    if (!data || !key || !key[0])
        return;
    const std::array<uint8_t, 4> m = KeyedScrambleMask(key);
    const uint8_t x = static_cast<uint8_t>(m[0] ^ m[1] ^ m[2] ^ m[3]);
    for (size_t i = 0; i < size; ++i)
        data[i] ^= x;
}

}  // namespace qvcommon
