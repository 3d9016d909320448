// Recognition-range masks: the range words and their bits, and the words every recogniser
// allows before its resource's own.
#pragma once

#include <cstdint>
#include <string>

namespace hwrlocal {

struct RecogRangeName {
    const char *word;
    uint32_t mask;
};

inline constexpr int kRecogRangeNameCount = 37;
extern const RecogRangeName kRecogRangeNames[kRecogRangeNameCount];

inline constexpr const char *kAllowedRangeWords =
    "lower+upper+alphabet+number+alnum+symbol+punct+sympun+punctuation+";

// The mask of a range word (compared without regard to case); 0 = not found.
uint32_t RangeMask(const std::string &word);

}  // namespace hwrlocal
