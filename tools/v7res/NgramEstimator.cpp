#include "NgramEstimator.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

namespace v7res {

namespace {

uint8_t CostOf(double p) {
    if (!(p > 0.0))
        return 255;
    const double c = std::round(-std::log(p) * kCostUnitsPerNat);
    return static_cast<uint8_t>(std::clamp(c, 0.0, 255.0));
}

double ProbabilityOf(uint8_t cost) {
    return std::exp(-cost / kCostUnitsPerNat);
}

}  // namespace

std::vector<v7::NgramEntry> EstimateNgrams(
    uint32_t tokenCount, int order, const std::map<std::vector<uint32_t>, uint64_t> &counts) {
    std::vector<v7::NgramEntry> out;
    // Unigrams: add-one over every token but the sentence start.
    std::vector<uint64_t> uni(tokenCount, 0);
    uint64_t total = 0;
    for (const auto &[seq, c] : counts)
        if (seq.size() == 1 && seq[0] < tokenCount) {
            uni[seq[0]] += c;
            total += c;
        }
    const double denominator = static_cast<double>(total + tokenCount - 1);
    std::vector<double> p1(tokenCount, 0.0);
    for (uint32_t t = 0; t < tokenCount; ++t) {
        p1[t] = t == v7::kSentenceStart ? 0.0 : (uni[t] + 1.0) / denominator;
        out.push_back({{t}, t == v7::kSentenceStart ? uint8_t(0) : CostOf(p1[t]), 0});
    }
    // Higher orders: group by context.
    std::map<std::vector<uint32_t>, size_t> entryOf;  // sequence -> index in out
    for (size_t i = 0; i < out.size(); ++i)
        entryOf[out[i].tokens] = i;
    for (int k = 2; k <= order; ++k) {
        std::map<std::vector<uint32_t>, std::vector<std::pair<uint32_t, uint64_t>>> byContext;
        for (const auto &[seq, c] : counts)
            if (static_cast<int>(seq.size()) == k) {
                std::vector<uint32_t> h(seq.begin(), seq.end() - 1);
                if (!entryOf.count(h))
                    continue;  // context never seen at the order below
                byContext[h].push_back({seq.back(), c});
            }
        for (auto &[h, nexts] : byContext) {
            uint64_t ch = 0;
            for (auto &[w, c] : nexts)
                ch += c;
            double kept = 0.0, lowerKept = 0.0;
            const std::vector<uint32_t> shorter(h.begin() + 1, h.end());
            for (auto &[w, c] : nexts) {
                const double p = std::max(0.0, static_cast<double>(c) - kDiscount) / ch;
                std::vector<uint32_t> seq = h;
                seq.push_back(w);
                const uint8_t cost = CostOf(p);
                entryOf[seq] = out.size();
                out.push_back({seq, cost, 0});
                kept += ProbabilityOf(cost);
                // The lower-order probability of w after the shorter context.
                std::vector<uint32_t> lower = shorter;
                lower.push_back(w);
                auto it = entryOf.find(lower);
                lowerKept += it != entryOf.end() ? ProbabilityOf(out[it->second].cost) : p1[w];
            }
            const double alpha = std::max(1e-12, 1.0 - kept) / std::max(1e-12, 1.0 - lowerKept);
            // Back-off weights above 1 are clamped: costs are never negative.
            out[entryOf[h]].backoff = alpha >= 1.0 ? 0 : CostOf(alpha);
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(const std::string &s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        uint32_t cp;
        int n;
        if (c < 0x80)
            cp = c, n = 1;
        else if ((c >> 5) == 6)
            cp = c & 0x1F, n = 2;
        else if ((c >> 4) == 14)
            cp = c & 0x0F, n = 3;
        else if ((c >> 3) == 30)
            cp = c & 0x07, n = 4;
        else
            return u"";
        if (i + n > s.size())
            return u"";
        for (int k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return u"";
            cp = cp << 6 | (s[i + k] & 0x3F);
        }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

bool ReadNgramCounts(const std::string &text, const std::vector<std::u16string> &words, int order,
                     std::map<std::vector<uint32_t>, uint64_t> *counts, std::string *error) {
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string w; fields >> w;)
            f.push_back(w);
        if (f.empty() || f[0][0] == '#')
            continue;
        char *end = nullptr;
        const unsigned long long c = std::strtoull(f.back().c_str(), &end, 10);
        if (f.size() < 2 || *end != 0 || static_cast<int>(f.size()) - 1 > order) {
            *error = "line " + std::to_string(lineNo) + ": expected up to " +
                     std::to_string(order) + " words and a count";
            return false;
        }
        std::vector<uint32_t> seq;
        for (size_t i = 0; i + 1 < f.size(); ++i) {
            if (f[i] == "<s>")
                seq.push_back(v7::kSentenceStart);
            else if (f[i] == "</s>")
                seq.push_back(v7::kSentenceEnd);
            else {
                const std::u16string w = Utf8ToUtf16(f[i]);
                auto it = std::lower_bound(words.begin(), words.end(), w);
                seq.push_back(it != words.end() && *it == w
                                  ? v7::kFirstWordToken + static_cast<uint32_t>(it - words.begin())
                                  : v7::kUnknownWord);
            }
        }
        (*counts)[seq] += c;
    }
    return true;
}

}  // namespace v7res
