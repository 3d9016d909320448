// The integer scaling of the ink pipeline and the length weights of its centres.
#pragma once

#include <cstdint>

#include "InkTypes.h"

namespace v7 {

// Width that keeps the aspect ratio at a height of 64: trunc(64·width/height + 0.5) in float,
// at least 1.
inline int32_t ScaledWidth(int32_t width, int32_t height) {
    const float w =
        static_cast<float>(kNormalHeight) * static_cast<float>(width) / static_cast<float>(height) +
        0.5f;
    const int32_t n = static_cast<int32_t>(w);
    return n > 0 ? n : 1;
}

// v from [lo, hi] to n values starting at lo, truncating. The product is taken in 64 bits:
// a very flat writing scales to a width whose product with a coordinate overflows 32.
inline int32_t ScaleValue(int32_t v, int32_t lo, int32_t hi, int32_t n) {
    if (v <= lo)
        return lo;
    if (v >= hi)
        return lo + n - 1;
    if (lo == hi || n == 1)
        return lo;
    return lo + static_cast<int32_t>(static_cast<int64_t>(n - 1) * (v - lo) / (hi - lo));
}

// Weight of a step of length len: trunc(100·len + 0.5).
inline uint32_t LengthWeight(float len) {
    return static_cast<uint32_t>(100.0f * len + 0.5f);
}

}  // namespace v7
