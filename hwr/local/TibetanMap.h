// The Tibetan resource set's candidate expansion: tibetanmap.txt maps a 16-bit candidate code to
// the sequence of characters (stacked letters, vowel signs) that the candidate stands for.
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <vector>

namespace hwrlocal {

// At most this many code units per candidate.
inline constexpr size_t kTibetanMaxUnits = 6;

using TibetanMap = std::map<uint16_t, std::vector<uint16_t>>;

// Reads whitespace-separated pairs: a key in hexadecimal (up to 16 bits), then a value token of
// one to six groups of four hexadecimal digits, one code unit each, most significant digit
// first; characters after the last complete group are ignored. Reading stops at the first key
// or value that cannot be read. A value with no complete group, more than six groups or a
// character that is not a hexadecimal digit is skipped (counted in *skipped). A key seen again
// keeps its first value.
void ReadTibetanMapStream(std::istream &in, TibetanMap &map, int *skipped = nullptr);

}  // namespace hwrlocal
