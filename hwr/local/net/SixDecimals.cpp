#include "SixDecimals.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace v7 {

float SixDecimalRoundTrip(float v) {
    // From 2^23 up every float is an integer: its six-decimal text is exact.
    if (!(std::fabs(v) < 8388608.0f)) return v;
    // v·10^6 needs at most 24 + 20 significant bits: exact in a double, and so is the rounding
    // to the nearest integer, ties to even as printf rounds.
    const double scaled = std::nearbyint(static_cast<double>(v) * 1e6);
    if (scaled == 0.0) return std::signbit(v) ? -0.0f : 0.0f;  // "-0.000000" reads as -0
    // |scaled| < 2^53, so the quotient is the correctly rounded double of the decimal value.
    const double q = scaled / 1e6;
    const float nearest = static_cast<float>(q);
    const double back = nearest;
    if (back == q) return nearest;
    // Rounding to double then to float can go wrong only when q fell exactly on the midpoint
    // between two floats; then decide by the sign of the exact remainder.
    const float other = std::nextafter(nearest, q > back ? INFINITY : -INFINITY);
    if (back + static_cast<double>(other) != 2.0 * q) return nearest;
    const double remainder = scaled - q * 1e6;  // both exact: q has at most 25 significant bits
    if (remainder == 0.0) return nearest;       // a true tie: the conversion already rounded to even
    const bool above = remainder > 0.0;         // decimal value lies above q
    const float up = back > q ? nearest : other;
    const float down = back > q ? other : nearest;
    return above ? up : down;
}

float SixDecimalRoundTripThroughText(float v) {
    char text[64];
    std::snprintf(text, sizeof text, " %f", static_cast<double>(v));
    return std::strtof(text, nullptr);
}

}  // namespace v7
