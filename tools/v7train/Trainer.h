// Training of the V7 network with CTC on synthetic writing: Adam over mini-batches, inputs
// standardised (folded into the first layer's weights on export), checkpoints that resume
// exactly, periodic validation on fixed data sets and export of the best weights so far.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "V7Net.h"

namespace v7train {

constexpr int kFrameInputs = 15;

// A writing turned into network input: per segment, frames x 15 inputs.
struct Example {
    std::vector<std::vector<float>> segments;
    std::vector<int> labels;
    std::string text;
};

// Frames of the kit's raw stroke data (16-bit pairs) through the recogniser's own ink pipeline;
// false when the pipeline refuses the writing.
bool ExampleFromRaw(const std::vector<int16_t> &raw, const std::string &text, bool single,
                    Example &out);

// Input standardisation: x' = (x - mean) / scale per input.
struct InputNorm {
    float mean[kFrameInputs];
    float scale[kFrameInputs];
    static InputNorm Identity();
    static InputNorm Measure(const std::vector<Example> &examples);
};

// The parameters for raw inputs: the standardisation folded into the first level's weights.
std::vector<float> FoldNorm(const std::vector<float> &params, const InputNorm &norm);
// The inverse: parameters for standardised inputs from weights trained (or shipped) for raw
// ones, so that a run can start from an earlier run's weights.
std::vector<float> UnfoldNorm(const std::vector<float> &folded, const InputNorm &norm);
// What the engine should load: folded, and every weight rounded as the engine's six-decimal
// loading would round it, so that validation here sees the engine's weights.
std::vector<float> EngineWeights(const std::vector<float> &params, const InputNorm &norm);

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
