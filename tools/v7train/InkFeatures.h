// Feature frames of a writing for the V7 network: validation, normalisation to a height of 64,
// segmentation at wide gaps and one 15-value frame per unit of pen travel. The trainer's copy of
// the engine's ink pipeline, kept until the engine library exports its own; a test holds the two
// to the same frames.
#pragma once

#include <cstdint>
#include <vector>

namespace v7train {

constexpr int kFrameInputs = 15;

struct SegmentFrames {
    int frames = 0;
    std::vector<float> values;  // frames x 15, frame after frame
};

// Engine result codes of the pipeline.
constexpr int kFeaturesOk = 0;
constexpr int kFeaturesBadArgument = 1;
constexpr int kFeaturesMalformedInk = 100;

// `points`: `count` (x, y) pairs with the kit's markers. `single`: the whole writing is one
// segment (split mode "single"). Fills one entry per segment, left to right.
int ComputeFrames(const int32_t *points, int count, bool single,
                  std::vector<SegmentFrames> &segments);

}  // namespace v7train
