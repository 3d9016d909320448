// Where each weight array of the V7 network lives in the trainer's flat parameter vector, and
// the weight section the engine reads: for every array, sorted by name, a block of optimiser
// deltas (unused by recognition; we store zeros) followed by the weights.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace v7train {

struct WeightArray {
    std::string name;  // connection or peephole name, e.g. "input_to_hidden_0_0"
    size_t offset;     // into the parameter vector
    size_t count;
};

class WeightLayout {
  public:
    // Level sizes 20/60/180, 15 inputs, 54 outputs.
    static const WeightLayout &V7();
    const WeightArray &Get(const std::string &name) const;
    const std::vector<WeightArray> &Arrays() const { return arrays_; }  // sorted by name
    size_t Total() const { return total_; }
    size_t SectionFloats() const { return 2 * total_; }

    // The engine's weight section (little-endian floats) from a parameter vector.
    std::vector<float> ToSection(const std::vector<float> &params) const;
    // Reads the weights back; false when the size is wrong.
    bool FromSection(const std::vector<float> &section, std::vector<float> &params) const;

  private:
    std::vector<WeightArray> arrays_;
    size_t total_ = 0;
};

}  // namespace v7train
