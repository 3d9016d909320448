// A plain forward pass of the V7 network, written straight from the layer arithmetic: every
// layer over its positions in its direction, every connection's sum started from 0 and added to
// the net input, one value at a time. The optimised pass must give the same floats.
#pragma once

#include <vector>

#include "Network.h"

std::vector<float> ReferenceForward(const v7::Network *network,
                                    const v7::NetworkDescription &description, const float *frames,
                                    int frameCount);

// Deterministic weights for tests: every float of a weight section, uniform in [-scale, scale].
std::vector<float> RandomWeightSection(unsigned seed, float scale);
