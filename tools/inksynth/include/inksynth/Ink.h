// Pen trajectories as the synthesiser builds them: float points, strokes, and the conversion to
// and from the kit's raw stroke data (16-bit pairs with (-1, 0) / (-1, -1) markers).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace inksynth {

struct Point {
    float x = 0;
    float y = 0;
};

using Stroke = std::vector<Point>;

// A writing: strokes in the order the pen wrote them. y grows downwards, as on a screen.
struct Ink {
    std::vector<Stroke> strokes;
};

struct Box {
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool empty = true;
    float Width() const { return empty ? 0 : maxX - minX; }
    float Height() const { return empty ? 0 : maxY - minY; }
    void Add(Point p);
};

Box BoundsOf(const Ink &ink);
Box BoundsOf(const Stroke &stroke);

// Moves the ink so that its box starts at (margin, margin).
void MoveToOrigin(Ink &ink, float margin);

// Raw stroke data: rounded, clamped to 0..32767, consecutive duplicates dropped, each stroke
// closed by (-1, 0) and the writing by (-1, -1). Empty strokes are left out.
std::vector<int16_t> ToRawStrokes(const Ink &ink);

// The reverse; returns false (and leaves `ink` partial) on a sequence the kit would refuse.
bool FromRawStrokes(const int16_t *pairs, size_t pairCount, Ink &ink);

// Little-endian raw stroke file: exactly the bytes the kit's recogniser call receives.
bool WriteRawStrokeFile(const std::string &path, const Ink &ink);
bool ReadRawStrokeFile(const std::string &path, Ink &ink, std::string *error);

}  // namespace inksynth
