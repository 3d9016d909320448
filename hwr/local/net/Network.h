// The V7 recurrent network: built from the fixed description, its weights taken from the
// weight section of english.main.dct, run forward over one sequence of feature frames at a
// time. The handle is not reentrant: one sequence runs at a time on a network.
#pragma once

#include <cstddef>
#include <cstdint>

#include "NetworkDescription.h"

namespace v7 {

struct Network;

// weightCount floats at weightData (little-endian IEEE 754, the order of kWeightTable, 4-byte
// aligned or not). Every weight is used as its " %f" text reads back. Null when the data is
// null, the count is not kWeightSectionFloats, memory runs out or a used weight is not finite
// (after the messages the loader prints on standard output).
Network *LoadNetwork(uint32_t weightCount, const void *weightData);
// The same for another description of the vocabulary (other layer kinds or sizes).
Network *LoadNetwork(const NetworkDescription &description, uint32_t weightCount,
                     const void *weightData);
// The same weights through the real text table: every float printed with " %f" and read back
// by a stream. Slow; the reference LoadNetwork is tested and measured against.
Network *LoadNetworkThroughText(uint32_t weightCount, const void *weightData);

// Runs frameCount frames of inputSize (15) floats, frame after frame. Returns the number of
// output frames, ceil(ceil(T/2)/2) for the shipped network; 0 for a null network, a wrong input
// size or no frames.
int RunNetwork(Network *network, const float *frames, int frameCount, int inputSize);
// The same with frame t's 15 inputs at first + t·stride (stride in floats, at least 15).
int RunNetworkStrided(Network *network, const float *first, int frameCount, ptrdiff_t stride);

// Destroys the network and its weights; null is ignored.
void FreeNetwork(Network *network);

// Class probabilities of the last run: frames × kOutputSize floats (label order, blank last).
const float *OutputProbabilities(const Network *network, int *frames);

// The floats in use for a weight array ("bias_to_output_weights", ...), or null.
const float *NetworkWeights(const Network *network, const char *valueName, uint32_t *count);

// Multiply-adds of the last run (every weighted sum and peephole term), for benchmarks.
uint64_t LastRunMultiplyAdds(const Network *network);

}  // namespace v7
