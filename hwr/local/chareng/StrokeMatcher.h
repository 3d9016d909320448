// StrokeMatcher: the second classifier of the character engine. It reduces the writing to a
// sequence of straight segments and compares the sequence of their end points with each
// candidate class's prototypes by banded dynamic time warping.
#pragma once

#include <cstdint>

#include "ScratchPool.h"

namespace chareng {

constexpr int kMaxSegments = 74;
constexpr int kMaxSequence = 2 * kMaxSegments;
constexpr int kSegmentFrame = 64;

struct Segment {
    float x0, y0, x1, y1;
    float length;
    int direction;  // 360 - a, a = angle of (end - start) in whole degrees from +x toward +y
};

// Point sequences of one writing, coordinates 0..63.
struct SegmentSequences {
    uint8_t s[kMaxSequence][2];  // start and end point of each segment
    uint8_t h[kMaxSequence][2];  // the same for segments of direction < 80 or > 190
    int sCount = 0, hCount = 0;
};

// Cuts the folded writing into merged segments (at most kMaxSegments). Returns the count.
int CutSegments(const int16_t *pairs, ScratchPool &pool, Segment *out);

// Direction of the vector (dx, dy) as stored in a segment.
int SegmentDirection(float dx, float dy);

// Merges neighbouring segments, round after round, until a round merges nothing.
int MergeSegments(Segment *segs, int count);

void BuildSequences(const Segment *segs, int count, SegmentSequences *out);

// Distance of a sequence to one packed prototype (count byte, 12-bit points): the average cost
// of the best banded warping path, or -1 when no path joins the last points.
int32_t PrototypeDistance(const uint8_t (*seq)[2], int count, const uint8_t *proto, bool swapXY);

// Unpacks prototype point i (6-bit x and y, least significant bits first).
void PrototypePoint(const uint8_t *proto, int i, int *x, int *y);

// Packs points into the prototype format; returns the bytes written (PrototypeBytes(n)).
int PackPrototype(const uint8_t (*points)[2], int n, uint8_t *out);

}  // namespace chareng
