// Back-off n-gram costs from counts: absolute discounting above the unigrams, add-one unigrams
// over the word list, sentence end and unknown word; costs in tenths of a nat, 8 bits.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "WordModel.h"

namespace v7res {

inline constexpr double kCostUnitsPerNat = 10.0;
inline constexpr double kDiscount = 0.7;

// counts: token sequences (oldest first, tokens as in WordModel) and how often they occur.
// Returns every n-gram of orders 1..order with its cost and back-off cost.
std::vector<v7::NgramEntry> EstimateNgrams(uint32_t tokenCount, int order,
                                           const std::map<std::vector<uint32_t>, uint64_t> &counts);

// Parses "w1 w2 ... wn COUNT" lines (words of the list, <s>, </s>; other words count as the
// unknown word). words must be sorted. Returns false with a message for a malformed line.
bool ReadNgramCounts(const std::string &text, const std::vector<std::u16string> &words, int order,
                     std::map<std::vector<uint32_t>, uint64_t> *counts, std::string *error);

std::u16string Utf8ToUtf16(const std::string &s);

}  // namespace v7res
