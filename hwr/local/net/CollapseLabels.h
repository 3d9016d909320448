// The connectionist-temporal-classification collapse of a character path, with the space as
// the blank: repeats merge (keeping the smaller cost) unless a space stands between them.
#pragma once

#include <cstdint>

namespace v7 {

// chars and costs run up to and including a terminating 0 character. Writes the collapsed
// characters (and their costs) to out and outCosts, at most capacity, and returns the count.
int CollapseLabels(const uint16_t *chars, const uint16_t *costs, uint16_t *out, uint16_t *outCosts,
                   int capacity);

}  // namespace v7
