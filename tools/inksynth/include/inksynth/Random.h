// The synthesiser's random source: a fixed generator with our own uniform and normal draws,
// so a data set made from a seed is the same on every machine and library version.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>

namespace inksynth {

class Random {
  public:
    explicit Random(uint64_t seed) : engine_(seed) {}
    // Uniform in [0, 1).
    double Unit() { return double(engine_() >> 11) * (1.0 / 9007199254740992.0); }
    double Uniform(double lo, double hi) { return lo + (hi - lo) * Unit(); }
    // Uniform integer in [0, n).
    uint64_t Below(uint64_t n) { return n ? uint64_t(Unit() * double(n)) % n : 0; }
    bool Chance(double p) { return Unit() < p; }
    double Normal(double mean = 0, double sd = 1) {
        double u = 1.0 - Unit(), v = Unit();  // u in (0, 1]: the log is finite
        return mean + sd * std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
    }
    // A normal draw clipped to [lo, hi].
    double Clipped(double mean, double sd, double lo, double hi) {
        double x = Normal(mean, sd);
        return x < lo ? lo : (x > hi ? hi : x);
    }
    uint64_t Next() { return engine_(); }

  private:
    std::mt19937_64 engine_;
};

}  // namespace inksynth
