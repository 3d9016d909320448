// Synthetic handwriting for tests and benchmarks: a line of cursive-like letters drawn as
// loops and strokes, deterministic for a seed.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

// Pairs (x, y) with the kit's markers: one stroke per letter, letters side by side with small
// gaps, words separated by wide gaps, ending with (-1, 0)(-1, -1).
inline std::vector<int32_t> SyntheticLine(int letters, unsigned seed, int lettersPerWord = 100) {
    std::vector<int32_t> p;
    uint32_t s = seed * 2654435761u + 1;
    auto rnd = [&] {
        s = s * 1664525u + 1013904223u;
        return static_cast<double>(s >> 8) / 16777216.0;
    };
    double x0 = 100;
    for (int i = 0; i < letters; ++i) {
        const double w = 30 + 20 * rnd(), h = 40 + 30 * rnd();
        const int turns = 1 + static_cast<int>(rnd() * 3);
        for (int k = 0; k <= 24; ++k) {
            const double t = k / 24.0;
            const double a = 2 * M_PI * turns * t;
            const double x = x0 + w * t + 0.3 * w * std::sin(a);
            const double y = 200 - h * 0.5 * (1 - std::cos(a)) * (0.6 + 0.4 * rnd());
            p.push_back(static_cast<int32_t>(x));
            p.push_back(static_cast<int32_t>(y));
        }
        p.push_back(-1);
        p.push_back(0);
        x0 += w + 4 + ((i + 1) % lettersPerWord == 0 ? 80 : 0);
    }
    p.push_back(-1);
    p.push_back(-1);
    return p;
}
