// Activation functions of the V7 network, with the clamps its weights were trained against.
// Every intermediate is rounded to float where the network's arithmetic rounds it.
#pragma once

#include <cfloat>
#include <cmath>

namespace v7 {

// ln(FLT_MAX): beyond it exp overflows a float.
inline constexpr float kExpLimit = 88.72284f;

// exp rounded once to float: computed in double, so the result is the float nearest exp(x).
inline float ExpToFloat(float x) {
    return static_cast<float>(std::exp(static_cast<double>(x)));
}

inline float Logistic(float x) {
    if (!(x < kExpLimit))
        return 1.0f;  // also NaN
    if (x <= -kExpLimit)
        return 0.0f;
    const float e = ExpToFloat(-x);
    return 1.0f / (1.0f + e);
}

// Through the logistic and its clamps, never a library tanh.
inline float Tanh(float x) {
    const float y = 2.0f * x;
    return 2.0f * Logistic(y) - 1.0f;
}

inline float Softsign(float x) {
    if (x >= FLT_MAX)
        return 1.0f;
    if (x <= -FLT_MAX)
        return -1.0f;
    return x / (1.0f + std::fabs(x));
}

inline float Identity(float x) {
    return x;
}

// exp of a log value; -FLT_MAX stands for log(0).
inline float SafeExp(float x) {
    if (x == -FLT_MAX)
        return 0.0f;
    if (x >= kExpLimit)
        return FLT_MAX;
    return ExpToFloat(x);
}

}  // namespace v7
