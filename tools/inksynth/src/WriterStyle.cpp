#include "inksynth/WriterStyle.h"

#include <algorithm>
#include <cstdio>

namespace inksynth {

WriterStyle WriterStyle::Draw(Random &rng, float tidy) {
    float m = 1.0f - 0.7f * tidy;  // spread multiplier
    WriterStyle s;
    s.xHeight = float(rng.Uniform(12, 60));
    s.slantDeg = float(rng.Clipped(6, 10 * m, -18, 32));
    s.widthScale = float(rng.Clipped(1.0, 0.15 * m, 0.7, 1.4));
    // Some print writers leave letters far apart: wide enough gaps cut a word into pieces that
    // the recogniser reads one at a time.
    s.letterGap = float(rng.Clipped(0.1, 0.25 * m, -0.15, 1.2));
    s.wordGap = float(rng.Clipped(0.9, 0.25 * m, 0.45, 1.8));
    s.ascender = float(rng.Clipped(1.0, 0.15 * m, 0.7, 1.35));
    s.descender = float(rng.Clipped(1.0, 0.15 * m, 0.65, 1.35));
    s.baselineAmp = float(rng.Uniform(0, 0.15 * m));
    s.baselineWave = float(rng.Uniform(5, 20));
    s.lineAngleDeg = float(rng.Clipped(0, 2.5 * m, -6, 6));
    s.letterJitter = float(rng.Uniform(0.15, 1.0 * m + 0.15));
    s.elastic = float(rng.Uniform(0.0, 0.09 * m));
    s.tremor = float(rng.Uniform(0.0, 0.6 * m));
    s.penStep = float(rng.Uniform(1.0, 7.0));
    s.slowdown = float(rng.Uniform(0.0, 0.8));
    s.rounding = float(rng.Uniform(0.2, 1.0));
    s.joinLift = float(rng.Uniform(0.0, 0.35 * m));
    s.strokeBreak = float(rng.Uniform(0.0, 0.08 * m));
    s.delayMarks = float(rng.Uniform(0.0, 1.0));
    s.reverse = float(rng.Uniform(0.0, 0.08 * m));
    s.shapeVariation = float(rng.Uniform(0.1, 0.35 + 0.65 * m));
    s.mixFaces = rng.Chance(0.6) ? float(rng.Uniform(0.05, 0.2 + 0.4 * m)) : 0.0f;
    s.reorderStrokes = float(rng.Uniform(0.0, 0.3 * m));
    s.liftMerge = float(rng.Uniform(0.0, 0.6 * m));
    // Most print writers link some letters; a few link nearly all of them.
    s.connect = rng.Chance(0.55) ? float(rng.Uniform(0.1, 0.4 + 0.5 * m)) : 0.0f;
    return s;
}

void WriterStyle::LengthenLoops(Random &rng) {
    ascender = float(rng.Uniform(1.15, 2.1));
    descender = float(rng.Uniform(1.15, 2.8));
    widthScale = std::max(0.5f, widthScale * float(rng.Uniform(0.6, 1.0)));
}

void WriterStyle::RoughenShapes(Random &rng) {
    shapeVariation = float(rng.Uniform(0.9, 1.5));
    mixFaces = float(rng.Uniform(0.25, 0.6));
}

std::string WriterStyle::Describe() const {
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "xh=%.1f slant=%.1f width=%.2f gap=%.2f word=%.2f asc=%.2f desc=%.2f "
                  "base=%.2f/%.1f angle=%.1f jitter=%.2f elastic=%.3f tremor=%.2f step=%.1f "
                  "slow=%.2f round=%.2f lift=%.2f break=%.2f delay=%.2f reverse=%.2f shape=%.2f "
                  "mix=%.2f reorder=%.2f merge=%.2f connect=%.2f",
                  xHeight, slantDeg, widthScale, letterGap, wordGap, ascender, descender,
                  baselineAmp, baselineWave, lineAngleDeg, letterJitter, elastic, tremor, penStep,
                  slowdown, rounding, joinLift, strokeBreak, delayMarks, reverse, shapeVariation,
                  mixFaces, reorderStrokes, liftMerge, connect);
    return buf;
}

}  // namespace inksynth
