// Draws the texts of synthetic samples from an English word list with frequencies: single words
// and short lines, with capitals, numbers and punctuation mixed in, and some random letter
// strings so that the recogniser learns letters rather than only words.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "inksynth/Random.h"

namespace inksynth {

struct TextMix {
    float singleWord = 0.5f;  // chance of one word; otherwise 2..maxWords words
    int maxWords = 4;
    float randomLetters = 0.08f;  // chance that a word is a random letter string
    float titleCase = 0.12f;      // chance that a word is capitalised (first word: twice that)
    float upperCase = 0.04f;      // chance that a word is all capitals
    float punctuation = 0.05f;    // chance of a mark after a word
    float number = 0.03f;         // chance that a word is a number
    float flatten = 0.6f;         // word chance ~ count^flatten: 1 = as in speech, 0 = uniform
};

class TextSampler {
  public:
    // Reads "word<TAB>count" lines (blank lines and lines starting with '#' skipped).
    static std::optional<TextSampler> Load(const std::string &path, std::string *error);
    static TextSampler FromWords(std::vector<std::string> words, std::vector<double> counts,
                                 float flatten);

    const std::string &Word(Random &rng) const;
    std::string Text(Random &rng, const TextMix &mix) const;
    size_t size() const { return words_.size(); }

  private:
    std::vector<std::string> words_;
    std::vector<double> cumulative_;
};

}  // namespace inksynth
