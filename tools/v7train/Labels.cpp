#include "Labels.h"

#include <algorithm>

#include "V7Net.h"

namespace v7train {

std::vector<int> TextToLabels(const std::string &text) {
    std::vector<int> out;
    for (char c : text) {
        if (c >= 'A' && c <= 'Z')
            out.push_back(1 + (c - 'A'));
        else if (c >= 'a' && c <= 'z')
            out.push_back(27 + (c - 'a'));
        else if (c != ' ')
            out.push_back(0);
    }
    return out;
}

std::string RecognisableLetters(const std::string &text) {
    std::string out;
    for (char c : text)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            out.push_back(c);
    return out;
}

std::string GreedyDecode(const float *prob, int frames) {
    std::string out;
    int last = -1;
    for (int t = 0; t < frames; ++t) {
        const float *p = prob + size_t(t) * kClasses;
        int k = int(std::max_element(p, p + kClasses) - p);
        if (k != last && k != kBlank && k != 0)
            out.push_back(k <= 26 ? char('A' + k - 1) : char('a' + k - 27));
        last = k;
    }
    return out;
}

int EditDistance(const std::string &a, const std::string &b) {
    std::vector<int> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = int(j);
    for (size_t i = 1; i <= a.size(); ++i) {
        int diag = row[0];
        row[0] = int(i);
        for (size_t j = 1; j <= b.size(); ++j) {
            int up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] != b[j - 1])});
            diag = up;
        }
    }
    return row[b.size()];
}

}  // namespace v7train
