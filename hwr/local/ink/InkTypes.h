// The records of the V7 ink pipeline: points, strokes, segments and feature frames, and the
// limits that size their buffers.
#pragma once

#include <cstdint>

namespace v7 {

inline constexpr int kMaxInkPoints = 102400;  // pairs per writing, markers included
inline constexpr int kMaxStrokes = 10239;
inline constexpr int kMaxSegments = 10240;
inline constexpr int kMaxInkWidth = 10240;  // columns of a writing or a segment
inline constexpr int kMaxSegmentFrames = 1024000;
inline constexpr int kNormalHeight = 64;      // ink is scaled to this height
inline constexpr int kSegmentGap = 21;        // empty columns that end a segment
inline constexpr int kNeighbourReach = 32;    // neighbour distances look this far
inline constexpr float kNoNeighbour = 33.0f;  // distance when no ink is within reach

// Engine codes of the pipeline's failures.
inline constexpr int kInkBadArgument = 1;
inline constexpr int kInkMalformed = 100;

struct InkPoint {
    int32_t x;
    int32_t y;
};

inline bool IsStrokeEnd(InkPoint p) {
    return p.x == -1 && p.y == 0;
}
inline bool IsWritingEnd(InkPoint p) {
    return p.x == -1 && p.y == -1;
}

struct InkBox {
    int32_t minX, minY, maxX, maxY;  // inclusive
    int32_t width() const { return maxX - minX + 1; }
    int32_t height() const { return maxY - minY + 1; }
};

struct StrokeRecord {
    int32_t first;  // index of the first point in the point array
    int32_t count;
    InkBox box;
    int32_t centreX, centreY;
    int32_t segment;
};

struct InkSegment {
    int32_t firstStroke;  // index into the (reordered) stroke table
    int32_t strokeCount;
};

enum PenState : int32_t { kPenDown = 0, kPenMoving = 1, kPenUp = 2 };

// 19 32-bit fields, 76 bytes. The network reads fields 3 (as a float) and 5..18.
struct FeatureFrame {
    int32_t flag;
    int32_t previousPoint;  // point references (indexes into the point array)
    int32_t currentPoint;
    int32_t pen;  // PenState
    float x;
    float y;
    float dx, dy, step;
    float sine, cosine;
    float turnSine, turnCosine;
    float left, right, below, above;  // distance to ink in each direction
    float columnCentre;
    float yFromCentre;
};
static_assert(sizeof(FeatureFrame) == 76, "frames are 19 32-bit fields");

inline constexpr int kFrameInputs = 15;

// The 15 network inputs of a frame, in order.
inline void FrameInputs(const FeatureFrame &f, float *out) {
    out[0] = static_cast<float>(f.pen);
    const float *from = &f.y;
    for (int i = 0; i < 14; ++i)
        out[1 + i] = from[i];
}

}  // namespace v7
