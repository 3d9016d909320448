// Narrow and wide forms of the same character: space and U+3000, and every character of the
// Halfwidth and Fullwidth Forms block with its compatibility counterpart.
#pragma once

#include <cstdint>

namespace v7 {

struct WidthPair {
    uint16_t narrow;
    uint16_t wide;
};

inline constexpr int kWidthPairCount = 226;
// Sorted by the narrow member.
extern const WidthPair kWidthPairs[kWidthPairCount];

// The wide form of c, or c when it has none; and the reverse.
uint16_t ToWide(uint16_t c);
uint16_t ToNarrow(uint16_t c);

}  // namespace v7
