// The V7 ink pipeline: validates a writing, scales it to a height of 64 in integer arithmetic,
// cuts it into segments at 21 empty columns and turns each segment into feature frames, one per
// unit of pen travel. Works in memory that the caller hands in and allocates nothing.
//
//   std::vector<unsigned char> mem(InkPipeline::WorkspaceSize());   // ~80 MB, mostly frames
//   InkPipeline ink(mem.data());
//   if (ink.Prepare(points, count, false) == 0)
//       for (int s = 0; s < ink.segmentCount(); ++s) { ink.BuildFrames(s); ... ink.frames() ... }
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "InkTypes.h"

namespace v7 {

class InkPipeline {
  public:
    // Bytes of workspace the pipeline needs; the memory must be 8-byte aligned.
    static size_t WorkspaceSize();
    explicit InkPipeline(void *workspace);

    // pairs: count (x, y) pairs with the kit's markers, ending with (-1, -1). Returns 0, or
    // kInkMalformed (100) for a malformed sequence, kInkBadArgument (1) for a count that does not
    // match, an empty writing, or more strokes, segments or columns than the limits allow.
    // singleSegment keeps the whole writing as one segment.
    int Prepare(const int32_t *pairs, int count, bool singleSegment);

    int segmentCount() const { return segmentCount_; }
    const InkSegment &segment(int i) const { return segments_[i]; }
    const StrokeRecord *strokes() const { return strokes_; }
    int strokeCount() const { return strokeCount_; }
    const InkPoint *points() const { return points_; }
    int pointCount() const { return pointCount_; }

    // Normalises segment i and builds its frames; 0 or kInkBadArgument (a segment wider than
    // the limit, a zero-length step, or more than kMaxSegmentFrames frames). Segments are built
    // one at a time: the frames of the previous one are overwritten.
    int BuildFrames(int segment);
    const FeatureFrame *frames() const { return frames_; }
    FeatureFrame *frames() { return frames_; }
    int frameCount() const { return frameCount_; }

  private:
    int Validate(const int32_t *pairs, int count) const;
    int NormaliseWriting(const int32_t *pairs, int count);
    int BuildStrokeTable();
    int Segment(bool singleSegment);
    void NormaliseSegment(const InkSegment &s, InkBox *box);
    int AppendStrokeFrames(const StrokeRecord &stroke);
    void NeighbourDistances(const InkSegment &s);
    void ColumnCentres(const InkSegment &s, const InkBox &box);

    InkPoint *points_;
    StrokeRecord *strokes_;
    InkSegment *segments_;
    uint8_t *occupancy_;
    uint32_t *columnCentre_;
    FeatureFrame *frames_;
    int pointCount_ = 0;
    int strokeCount_ = 0;
    int segmentCount_ = 0;
    int frameCount_ = 0;
    InkBox writingBox_{};
};

// Inputs of one writing for training: for each segment its frames' 15 network inputs, frame
// after frame. Returns the pipeline's code; segments holds the segments built before a failure.
int ComputeSegmentInputs(const int32_t *pairs, int count, bool singleSegment,
                         std::vector<std::vector<float>> *segments);

}  // namespace v7
