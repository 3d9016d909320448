// The V7 network's label set and the texts of training samples: "*" (any character that is not
// a letter: digits and punctuation), "A".."Z", "a".."z", then the blank.
#pragma once

#include <string>
#include <vector>

namespace v7train {

// Class indexes of a text: letters by label, spaces left out, anything else "*" (0).
std::vector<int> TextToLabels(const std::string &text);
// The letters a perfect recogniser would return: spaces and non-letters left out.
std::string RecognisableLetters(const std::string &text);
// Best-path decoding: the most likely class per frame, repeats merged, blanks and "*" dropped.
std::string GreedyDecode(const float *prob, int frames);
// Levenshtein distance between two byte strings.
int EditDistance(const std::string &a, const std::string &b);

}  // namespace v7train
