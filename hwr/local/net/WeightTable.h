// The weight section's table of contents: which weight arrays the section holds, in which order,
// and how many floats each has. Fixed in the program; the resource carries only the floats.
#pragma once

#include <cstdint>

namespace v7 {

struct WeightTableEntry {
    const char *name;  // key of the array, "weightContainer_<array>_weights" or "..._deltas"
    uint32_t count;    // number of 32-bit floats
};

inline constexpr int kWeightTableSize = 62;
// Sum of all counts: the number of floats a weight section must hold.
inline constexpr uint32_t kWeightSectionFloats = 857468;
inline constexpr uint32_t kWeightSectionBytes = kWeightSectionFloats * 4;

// For each of the 31 weight arrays in byte order of their names: its optimiser-delta entry
// (stored, never read), then its weights entry.
extern const WeightTableEntry kWeightTable[kWeightTableSize];

// True for the entries whose floats the network uses ("..._weights").
bool IsWeightsEntry(const WeightTableEntry &entry);

}  // namespace v7
