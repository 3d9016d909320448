#include "WaKeyScramble.h"

#include <cstring>

namespace wa {
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

void XorWithKey(uint8_t *data, uint32_t length, const char *key) {
    // The key is taken with its terminating zero, which is why the rolling byte and the product
    // always end at 0; they are computed anyway so that the derivation stays the documented one.
    const auto *k = reinterpret_cast<const uint8_t *>(key);
    const size_t n = std::strlen(key) + 1;
    uint8_t rolling = 0, product = 1, difference = k[0], sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const unsigned r = i % 8;
        rolling = static_cast<uint8_t>((RotateLeft(k[i], r) | rolling) & RotateRight(k[i], r));
        product = static_cast<uint8_t>(product * k[i]);
        if (i > 0)
            difference = static_cast<uint8_t>(difference - k[i]);
        sum = static_cast<uint8_t>(sum + k[i]);
    }
    const uint8_t mask = rolling ^ product ^ difference ^ sum;
    for (uint32_t i = 0; i < length; ++i)
        data[i] ^= mask;
}

}  // namespace wa
