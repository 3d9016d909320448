// Distance between two ink points as the V7 features measure it: exact along an axis, otherwise
// s·(1/sqrt s) with the inverse square root found by the magic-constant method.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace v7 {

inline float InverseSqrt(float s) {
    uint32_t bits;
    std::memcpy(&bits, &s, 4);
    bits = 0x5F375A86u - (bits >> 1);
    float r;
    std::memcpy(&r, &bits, 4);
    for (int i = 0; i < 3; ++i)
        r = r * (1.5f - 0.5f * s * r * r);  // each step rounded to float
    return r;
}

inline float Distance(float x1, float y1, float x2, float y2) {
    const float dx = x2 - x1, dy = y2 - y1;
    if (dx == 0.0f)
        return std::fabs(dy);
    if (dy == 0.0f)
        return std::fabs(dx);
    const float s = dx * dx + dy * dy;
    return s * InverseSqrt(s);
}

}  // namespace v7
