// Word error rate of a recognised text against what was said, for tests that hear real speech.
#pragma once

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

namespace qvtest {

inline std::vector<std::string> LowerWords(const std::string &text) {
    std::vector<std::string> words;
    std::string w;
    for (char c : text + " ") {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '\'') {
            w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else if (!w.empty()) {
            words.push_back(w);
            w.clear();
        }
    }
    return words;
}

// Edit distance over words divided by the number of words said.
inline double WordErrorRate(const std::string &said, const std::string &heard) {
    const auto ref = LowerWords(said), hyp = LowerWords(heard);
    std::vector<size_t> d(hyp.size() + 1);
    for (size_t j = 0; j <= hyp.size(); ++j)
        d[j] = j;
    for (size_t i = 1; i <= ref.size(); ++i) {
        size_t diag = d[0];
        d[0] = i;
        for (size_t j = 1; j <= hyp.size(); ++j) {
            size_t up = d[j];
            d[j] = std::min({d[j] + 1, d[j - 1] + 1, diag + (ref[i - 1] != hyp[j - 1])});
            diag = up;
        }
    }
    return ref.empty() ? (hyp.empty() ? 0.0 : 1.0) : double(d[hyp.size()]) / ref.size();
}

}  // namespace qvtest
