// InkAugmenter: turns one clean drawing of a character into the writing of a random writer:
// slant, rotation, aspect and elastic distortion (inksynth's pen transforms), per-stroke
// displacement and size, stroke order and direction variants, broken strokes and strokes joined
// by the pen (cursive), written in a box of random size and sampled like a pen on a digitiser
// (rounded corners, speed-dependent spacing, tremor).
#pragma once

#include <cstdint>

#include "Ink.h"
#include "inksynth/Random.h"

namespace chartrain {

struct WriterStyle {
    double slant = 0;        // shear factor: x -= slant * y, y down
    double rotation = 0;     // radians
    double aspect = 1;       // x scale
    double elastic = 0;      // displacement amplitude, share of the box
    double strokeShift = 0;  // per-stroke displacement, share of the box
    double strokeScale = 0;  // per-stroke size change, share
    double jitter = 0;       // pen tremor, pixels
    double joinProb = 0;     // each pair of consecutive strokes joined by the pen
    double reverseProb = 0;  // each stroke drawn backwards
    double swapProb = 0;     // each pair of consecutive strokes swapped
    double breakProb = 0;    // each stroke lifted somewhere inside
    double sizePx = 200;     // box size of the writing
    double stepPx = 3;       // digitiser spacing at full pen speed
    double slowdown = 0;     // how much the pen slows in turns (0..1)
    double rounding = 0;     // corner rounding (0..1)
};

// What the augmentation may do to a class: gestures keep their direction and stroke order.
struct AugmentLimits {
    bool allowReverse = true;
    bool allowReorder = true;
    bool allowJoin = true;
    bool allowBreak = true;
    double rotationScale = 1;
};

// A random writer. `strength` 1 is the training mix; larger values draw wilder writers (the
// held-out sets use them to test styles that training did not see).
WriterStyle RandomStyle(inksynth::Random &rng, double strength);

// The clean ink written by `style`, as the kit's stroke data.
std::vector<int16_t> Augment(const Ink &clean, const WriterStyle &style,
                             const AugmentLimits &limits, inksynth::Random &rng);

// Seed of sample `index` of class `cls` in a set: stable across runs and machines.
uint64_t SampleSeed(uint64_t seed, uint32_t cls, uint32_t index);

}  // namespace chartrain
