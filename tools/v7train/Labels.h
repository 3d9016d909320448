// The V7 network's label set and the texts of training samples: "*", "A".."Z", "a".."z", then
// the blank. "*" is the gap between two words: the decoder reads it as a space, as it reads the
// blank. Digits and punctuation have no label; training texts leave them out.
#pragma once

#include <string>
#include <vector>

namespace v7train {

// The label of the gap between words.
constexpr int kGap = 0;

// Class indexes of a text: letters by label, "*" between words (once, however many spaces),
// anything else left out.
std::vector<int> TextToLabels(const std::string &text);
// The letters a perfect recogniser would return: spaces and non-letters left out.
std::string RecognisableLetters(const std::string &text);
// Best-path decoding: the most likely class per frame, repeats merged, blanks and "*" dropped.
std::string GreedyDecode(const float *prob, int frames);
// Levenshtein distance between two byte strings.
int EditDistance(const std::string &a, const std::string &b);

}  // namespace v7train
