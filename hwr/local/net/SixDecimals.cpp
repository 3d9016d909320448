#include "SixDecimals.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace v7 {

namespace {

// scaled/10^6 next to a float midpoint: decide with the correctly rounded quotient and the sign
// of the exact remainder.
float NearMidpoint(double scaled) {
    // |scaled| < 2^53, so the quotient is the correctly rounded double of the decimal value.
    const double q = scaled / 1e6;
    const float nearest = static_cast<float>(q);
    const double back = nearest;
    if (back == q)
        return nearest;
    // Rounding to double then to float goes wrong only when q fell exactly on a midpoint.
    const float other = std::nextafter(nearest, q > back ? INFINITY : -INFINITY);
    if (back + static_cast<double>(other) != 2.0 * q)
        return nearest;
    const double remainder = scaled - q * 1e6;  // both exact: q has at most 25 significant bits
    if (remainder == 0.0)
        return nearest;                  // a true tie: the conversion already rounded to even
    const bool above = remainder > 0.0;  // decimal value lies above q
    const float up = back > q ? nearest : other;
    const float down = back > q ? other : nearest;
    return above ? up : down;
}

}  // namespace

float SixDecimalRoundTrip(float v) {
    // From 2^23 up every float is an integer: its six-decimal text is exact.
    if (!(std::fabs(v) < 8388608.0f))
        return v;
    // v·10^6 needs at most 24 + 20 significant bits: exact in a double, and so is the rounding
    // to the nearest integer, ties to even as printf rounds.
    const double scaled = std::nearbyint(static_cast<double>(v) * 1e6);
    if (scaled == 0.0)
        return std::signbit(v) ? -0.0f : 0.0f;  // "-0.000000" reads as -0
    // Fast: a product within two double ulps of the decimal value rounds to the right float
    // unless it lies next to the midpoint between two floats (the 29 bits a float drops are
    // then close to 1 followed by zeros).
    const double approx = scaled * 1e-6;
    uint64_t bits;
    std::memcpy(&bits, &approx, sizeof bits);
    const uint32_t dropped = static_cast<uint32_t>(bits & ((1u << 29) - 1));
    if (dropped - ((1u << 28) - 16) > 32)
        return static_cast<float>(approx);
    return NearMidpoint(scaled);
}

float SixDecimalRoundTripThroughText(float v) {
    char text[64];
    std::snprintf(text, sizeof text, " %f", static_cast<double>(v));
    return std::strtof(text, nullptr);
}

}  // namespace v7
