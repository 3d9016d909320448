#include "inksynth/TextSampler.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>

namespace inksynth {

std::optional<TextSampler> TextSampler::Load(const std::string &path, std::string *error) {
    std::ifstream in(path);
    if (!in) {
        if (error)
            *error = "cannot open " + path;
        return std::nullopt;
    }
    std::vector<std::string> words;
    std::vector<double> counts;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#')
            continue;
        size_t tab = line.find('\t');
        double count = 1;
        if (tab != std::string::npos) {
            try {
                count = std::stod(line.substr(tab + 1));
            } catch (...) {
                if (error)
                    *error = path + ":" + std::to_string(lineNo) + ": bad count";
                return std::nullopt;
            }
        }
        std::string w = line.substr(0, tab);
        if (w.empty() || count <= 0)
            continue;
        words.push_back(std::move(w));
        counts.push_back(count);
    }
    if (words.empty()) {
        if (error)
            *error = path + ": no words";
        return std::nullopt;
    }
    return FromWords(std::move(words), std::move(counts), TextMix{}.flatten);
}

TextSampler TextSampler::FromWords(std::vector<std::string> words, std::vector<double> counts,
                                   float flatten) {
    TextSampler s;
    s.words_ = std::move(words);
    double sum = 0;
    for (double c : counts) {
        sum += std::pow(c, double(flatten));
        s.cumulative_.push_back(sum);
    }
    return s;
}

const std::string &TextSampler::Word(Random &rng) const {
    double r = rng.Unit() * cumulative_.back();
    size_t i =
        size_t(std::upper_bound(cumulative_.begin(), cumulative_.end(), r) - cumulative_.begin());
    return words_[std::min(i, words_.size() - 1)];
}

std::string TextSampler::Text(Random &rng, const TextMix &mix) const {
    int n = rng.Chance(mix.singleWord)
                ? 1
                : 2 + int(rng.Below(uint64_t(std::max(1, mix.maxWords - 1))));
    std::string text;
    for (int i = 0; i < n; ++i) {
        std::string w;
        if (rng.Chance(mix.number)) {
            int digits = 1 + int(rng.Below(4));
            for (int d = 0; d < digits; ++d)
                w.push_back(char('0' + rng.Below(10)));
        } else if (rng.Chance(mix.randomLetters)) {
            int len = 1 + int(rng.Below(9));
            bool upper = rng.Chance(0.3);
            for (int k = 0; k < len; ++k)
                w.push_back(char((upper ? 'A' : 'a') + rng.Below(26)));
        } else {
            w = Word(rng);
            if (rng.Chance(mix.upperCase)) {
                for (char &c : w)
                    c = char(std::toupper(static_cast<unsigned char>(c)));
            } else if (rng.Chance(i == 0 ? 2 * mix.titleCase : mix.titleCase)) {
                w[0] = char(std::toupper(static_cast<unsigned char>(w[0])));
            }
        }
        if (rng.Chance(mix.punctuation)) {
            static const char kMarks[] = ".,!?;:'-";
            w.push_back(kMarks[rng.Below(sizeof kMarks - 1)]);
        }
        if (!text.empty())
            text.push_back(' ');
        text += w;
    }
    return text;
}

}  // namespace inksynth
