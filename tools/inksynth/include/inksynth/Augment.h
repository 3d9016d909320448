// Ink transformations that make clean glyph strokes look written by hand: geometric warps of a
// whole writing, rounding of polyline corners, re-sampling at the speed a pen moves, tremor and
// pen lifts. Each takes the random source explicitly so results follow from a seed.
#pragma once

#include "inksynth/Ink.h"
#include "inksynth/Random.h"

namespace inksynth {

// x += -y * tan(degrees): with y down, a positive angle leans the tops to the right.
void Shear(Ink &ink, float degrees);
void Rotate(Ink &ink, float degrees, Point centre);
void Scale(Ink &ink, float sx, float sy);

// y += amplitude * sin(2 pi x / wavelength + random phase): a baseline that wanders.
void WaveBaseline(Ink &ink, float amplitude, float wavelength, Random &rng);

// Smooth random displacement of every point: a sum of a few long-wave sinusoids, `amplitude`
// at most, with wavelengths around `wavelength` (same units as the ink).
void ElasticWarp(Ink &ink, float amplitude, float wavelength, Random &rng);

// Chaikin corner cutting, blended with the original by `amount` in [0, 1]; end points stay.
Stroke RoundCorners(const Stroke &stroke, float amount);

// Re-samples every stroke as a pen sampled at a fixed rate would: one point per `step` of
// travel at full speed, closer points where the path turns (`slowdown` in [0, 1]) and where the
// pen starts and stops. Strokes shorter than a step become one or two points.
void ResampleByPenSpeed(Ink &ink, float step, float slowdown, Random &rng);

// Gaussian jitter of every point, `sd` in ink units, correlated over neighbouring samples.
void AddTremor(Ink &ink, float sd, Random &rng);

// With chance `p` per stroke of enough length, lifts the pen somewhere inside it: the stroke is
// cut in two, the second part starting a little off where the first ended.
void BreakStrokes(Ink &ink, float p, Random &rng);

// Path length of a stroke.
float PathLength(const Stroke &stroke);

}  // namespace inksynth
