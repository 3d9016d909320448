// The characters one output frame of the network offers, with 16-bit costs.
#pragma once

#include <cstdint>

namespace v7 {

struct Network;

// Frame t of probs (frames × 54): every output with probability above 0.1, in label order, as
// its character ("*" and the blank as a space) with cost trunc((1 − p)·65535). A label whose
// character the allowed table (256 bytes, or null for all) marks 0 is left out. Returns how
// many were written (at most capacity); 0 when t is past the last frame.
int FrameCandidates(const float *probs, int frames, int t, const uint8_t *allowed, uint16_t *chars,
                    uint16_t *costs, int capacity);
// The same over the probabilities of the network's last run.
int FrameCandidates(const Network *network, int t, const uint8_t *allowed, uint16_t *chars,
                    uint16_t *costs, int capacity);

}  // namespace v7
