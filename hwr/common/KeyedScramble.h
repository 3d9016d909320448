// The scrambling of keyed resource records (association dictionaries, V7 sectioned resources):
// every payload byte is XORed with the four mask bytes derived from the key text and its
// terminating zero. XOR is its own inverse, so one routine scrambles and descrambles.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qvcommon {

// The four mask bytes of a key text k with its terminating zero (L bytes k[0] .. k[L-1]):
//   [0] rolling byte a = 0, then for each i: a = (rotl8(k[i], i % 8) | a) & rotr8(k[i], i % 8)
//   [1] product of the L bytes mod 256
//   [2] k[0] minus the sum of k[1] .. k[L-1], mod 256
//   [3] sum of the L bytes, mod 256
// (The terminating zero makes [0] and [1] zero for every key; they are kept for the record.)
std::array<uint8_t, 4> KeyedScrambleMask(const char *key);

// XORs every byte of data[0..size) with all four mask bytes of `key`. A null or empty key leaves
// the data as it is (records of an unkeyed resource are stored plain).
void KeyedScramble(uint8_t *data, size_t size, const char *key);
inline void KeyedDescramble(uint8_t *data, size_t size, const char *key) {
    KeyedScramble(data, size, key);
}

}  // namespace qvcommon
