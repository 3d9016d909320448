// Keyed records of the association dictionary are stored XORed with bytes derived from the
// dictionary's key text. XOR is its own inverse: the builder scrambles with the same routine.
#pragma once

#include <cstdint>

namespace wa {

void XorWithKey(uint8_t *data, uint32_t length, const char *key);

}  // namespace wa
