// Reading a weight file for the V7 network: the raw weight section, or the text form with one
// "NAME COUNT V1 ... VCOUNT" line per weight-table entry.
#pragma once

#include <string>
#include <vector>

namespace v7res {

// The weight section (kWeightSectionFloats floats in weight-table order) from path; false with
// a message in *error.
bool ReadWeightFile(const std::string &path, std::vector<float> *section, std::string *error);

// Multiplies the output layer's weights and biases by `factor`: the softmax then runs at
// temperature 1/factor, which keeps every frame's most likely label and flattens the rest.
void ScaleOutputLayer(std::vector<float> *section, float factor);

// A deterministic random network for plumbing tests: weights uniform in [-0.3, 0.3] from seed,
// the output biases spread so that frames offer a few confident labels.
std::vector<float> RandomWeightSection(unsigned seed);

}  // namespace v7res
