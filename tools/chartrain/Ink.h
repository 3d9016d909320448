// Ink: pen strokes with real coordinates (screen orientation, y down), as the trainer's
// sources produce them and the augmenter distorts them.
#pragma once

#include <cstdint>
#include <vector>

namespace chartrain {

struct Pt {
    double x, y;
};
using Stroke = std::vector<Pt>;
using Ink = std::vector<Stroke>;

// Bounding box of all points; false when the ink has none.
bool InkBounds(const Ink &ink, double *minX, double *minY, double *maxX, double *maxY);

// The kit's stroke data: points rounded to integers, (-1, 0) after each stroke, (-1, -1) at
// the end. Negative coordinates are clamped to 0.
std::vector<int16_t> ToPairs(const Ink &ink);

// Points spaced `step` apart along each stroke (a Catmull-Rom curve through the points when
// `smooth`), keeping every stroke's end points.
Ink Resample(const Ink &ink, double step, bool smooth);

}  // namespace chartrain
