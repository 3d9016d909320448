// Training of the V7 network with CTC on synthetic writing: Adam over mini-batches, inputs
// standardised (folded into the first layer's weights on export), checkpoints that resume
// exactly, periodic validation on fixed data sets and export of the best weights so far.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "InkFeatures.h"
#include "V7Net.h"

namespace v7train {

// A writing turned into network input: the segments' frames.
struct Example {
    std::vector<SegmentFrames> segments;
    std::vector<int> labels;
    std::string text;
};

// Frames of the kit's raw stroke data (16-bit pairs); false when the pipeline refuses it.
bool ExampleFromRaw(const std::vector<int16_t> &raw, const std::string &text, bool single,
                    Example &out);

// Input standardisation: x' = (x - mean) / scale per input.
struct InputNorm {
    float mean[kFrameInputs];
    float scale[kFrameInputs];
    static InputNorm Identity();
    static InputNorm Measure(const std::vector<Example> &examples);
};

// The parameters the engine should load: the standardisation folded into the first level.
std::vector<float> FoldNorm(const std::vector<float> &params, const InputNorm &norm);

// Forward pass over all segments of an example with raw (unstandardised) inputs and folded
// weights, giving the probabilities of every output frame in order.
class Recogniser {
  public:
    explicit Recogniser(const std::vector<float> &foldedParams);
    int Run(const Example &ex, std::vector<float> &prob);

  private:
    V7Net<float> net_;
};

}  // namespace v7train
