#include "WordModel.h"

#include <algorithm>
#include <map>

#include "LittleEndian.h"

namespace v7 {

namespace {
constexpr uint32_t kVersion = 1;
constexpr size_t kLevelTable = 32;
constexpr size_t kHeaderSize = kLevelTable + 20 * kMaxNgramOrder;
constexpr uint32_t kWorst = 0xFFFFFFFFu;

bool Inside(size_t size, uint64_t offset, uint64_t bytes) {
    return offset % 4 == 0 && offset <= size && bytes <= size - offset;
}
}  // namespace

bool WordModel::Open(const void *data, size_t size) {
    *this = WordModel();
    const auto *b = static_cast<const unsigned char *>(data);
    if (!b || size < kHeaderSize || std::memcmp(b, "V7WM", 4) != 0 || ReadU32(b + 4) != kVersion)
        return false;
    const uint32_t order = ReadU32(b + 8);
    if (order < 1 || order > kMaxNgramOrder)
        return false;
    const uint32_t listOffset = ReadU32(b + 16), listSize = ReadU32(b + 20);
    if (!Inside(size, listOffset, listSize) || !words_.Open(b + listOffset, listSize))
        return false;
    const uint64_t tokens = static_cast<uint64_t>(words_.count()) + kFirstWordToken;
    const uint32_t treeOffset = ReadU32(b + 24), leaves = ReadU32(b + 28);
    if (leaves == 0 || (leaves & (leaves - 1)) != 0 || leaves < words_.count() ||
        !Inside(size, treeOffset, 2ull * leaves))
        return false;
    Level levels[kMaxNgramOrder + 1];
    for (uint32_t k = 1; k <= order; ++k) {
        const unsigned char *d = b + kLevelTable + 20 * (k - 1);
        Level &L = levels[k];
        L.count = ReadU32(d);
        const uint32_t tok = ReadU32(d + 4), cost = ReadU32(d + 8), bo = ReadU32(d + 12),
                       child = ReadU32(d + 16);
        if (k == 1 && L.count != tokens)
            return false;
        if (k > 1 && !Inside(size, tok, 4ull * L.count))
            return false;
        if (!Inside(size, cost, L.count) || !Inside(size, bo, L.count))
            return false;
        if (k < order && !Inside(size, child, 4ull * (L.count + 1)))
            return false;
        L.tokens = k > 1 ? b + tok : nullptr;
        L.costs = b + cost;
        L.backoffs = b + bo;
        L.children = k < order ? b + child : nullptr;
    }
    // Children ranges nest and stay inside the next level, their tokens ascend and are tokens.
    for (uint32_t k = 1; k < order; ++k) {
        const Level &L = levels[k], &next = levels[k + 1];
        uint32_t prev = 0;
        for (uint32_t i = 0; i <= L.count; ++i) {
            const uint32_t c = ReadU32(L.children + 4 * static_cast<size_t>(i));
            if (c < prev || c > next.count || (i == 0 && c != 0) ||
                (i == L.count && c != next.count))
                return false;
            prev = c;
        }
        for (uint32_t i = 0; i < L.count; ++i) {
            const uint32_t a = ReadU32(L.children + 4 * static_cast<size_t>(i)),
                           e = ReadU32(L.children + 4 * static_cast<size_t>(i) + 4);
            for (uint32_t j = a; j < e; ++j) {
                const uint32_t t = ReadU32(next.tokens + 4 * static_cast<size_t>(j));
                if (t >= tokens)
                    return false;
                if (j > a && t <= ReadU32(next.tokens + 4 * static_cast<size_t>(j) - 4))
                    return false;
            }
        }
    }
    order_ = static_cast<int>(order);
    hasUnknown_ = (ReadU32(b + 12) & 1) != 0;
    tree_ = b + treeOffset;
    leaves_ = leaves;
    std::copy(levels, levels + kMaxNgramOrder + 1, levels_);
    return true;
}

uint32_t WordModel::Token(const uint16_t *s, int n) const {
    const int64_t i = words_.Find(s, n);
    return i < 0 ? kUnknownWord : kFirstWordToken + static_cast<uint32_t>(i);
}

uint32_t WordModel::TokenAt(int level, uint32_t i) const {
    return level == 1 ? i : ReadU32(levels_[level].tokens + 4 * static_cast<size_t>(i));
}

uint32_t WordModel::ChildStart(int level, uint32_t node) const {
    return ReadU32(levels_[level].children + 4 * static_cast<size_t>(node));
}

int64_t WordModel::FindChild(int level, uint32_t node, uint32_t token) const {
    uint32_t lo = ChildStart(level, node), hi = ChildStart(level, node + 1);
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        const uint32_t t = TokenAt(level + 1, mid);
        if (t == token)
            return mid;
        if (t < token)
            lo = mid + 1;
        else
            hi = mid;
    }
    return -1;
}

int64_t WordModel::FindNode(const uint32_t *context, int n) const {
    if (n <= 0 || context[0] >= levels_[1].count)
        return -1;
    int64_t node = context[0];
    for (int k = 1; k < n && node >= 0; ++k)
        node = FindChild(k, static_cast<uint32_t>(node), context[k]);
    return node;
}

bool WordModel::Cost(const uint32_t *context, int contextLength, uint32_t w, uint32_t *cost) const {
    if (order_ == 0 || w >= levels_[1].count || (w == kUnknownWord && !hasUnknown_))
        return false;
    if (contextLength > order_ - 1) {
        context += contextLength - (order_ - 1);
        contextLength = order_ - 1;
    }
    uint32_t total = 0;
    for (int start = 0; start < contextLength; ++start) {
        const int n = contextLength - start;
        const int64_t node = FindNode(context + start, n);
        if (node < 0)
            continue;
        const int64_t child = FindChild(n, static_cast<uint32_t>(node), w);
        if (child >= 0) {
            *cost = total + levels_[n + 1].costs[child];
            return true;
        }
        total += levels_[n].backoffs[node];
    }
    *cost = total + levels_[1].costs[w];
    return true;
}

uint32_t WordModel::RangeMin(uint32_t lo, uint32_t hi) const {
    uint32_t best = kWorst;
    for (uint32_t a = lo + leaves_, b = hi + leaves_; a < b; a /= 2, b /= 2) {
        if (a & 1)
            best = std::min<uint32_t>(best, tree_[a++]);
        if (b & 1)
            best = std::min<uint32_t>(best, tree_[--b]);
    }
    return best;
}

bool WordModel::CompletionCost(const uint32_t *context, int contextLength, uint32_t lo, uint32_t hi,
                               uint32_t *cost) const {
    if (order_ == 0 || lo >= hi || hi > words_.count())
        return false;
    if (contextLength > order_ - 1) {
        context += contextLength - (order_ - 1);
        contextLength = order_ - 1;
    }
    const uint32_t first = kFirstWordToken + lo, last = kFirstWordToken + hi;
    uint32_t best = kWorst, total = 0;
    for (int start = 0; start < contextLength; ++start) {
        const int n = contextLength - start;
        const int64_t node = FindNode(context + start, n);
        if (node < 0)
            continue;
        // Stored continuations inside the range.
        uint32_t a = ChildStart(n, static_cast<uint32_t>(node)),
                 e = ChildStart(n, static_cast<uint32_t>(node) + 1);
        while (a < e && TokenAt(n + 1, a) < first)
            ++a;
        for (; a < e && TokenAt(n + 1, a) < last; ++a)
            best = std::min(best, total + levels_[n + 1].costs[a]);
        total += levels_[n].backoffs[node];
    }
    best = std::min(best, total + RangeMin(lo, hi));
    *cost = best;
    return true;
}

std::vector<unsigned char> BuildWordModel(const std::vector<std::u16string> &words, int order,
                                          bool hasUnknown, const std::vector<NgramEntry> &ngrams) {
    if (order < 1 || order > kMaxNgramOrder)
        return {};
    for (size_t i = 1; i < words.size(); ++i)
        if (!(words[i - 1] < words[i]))
            return {};
    const uint32_t tokens = static_cast<uint32_t>(words.size()) + kFirstWordToken;
    // Levels as ordered maps from token sequence to (cost, back-off).
    std::vector<std::map<std::vector<uint32_t>, std::pair<uint8_t, uint8_t>>> levels(order + 1);
    for (uint32_t t = 0; t < tokens; ++t)
        levels[1][{t}] = {255, 0};
    for (const NgramEntry &e : ngrams) {
        const size_t n = e.tokens.size();
        if (n < 1 || n > static_cast<size_t>(order))
            return {};
        for (uint32_t t : e.tokens)
            if (t >= tokens)
                return {};
        levels[n][e.tokens] = {e.cost, e.backoff};
    }
    for (int k = 2; k <= order; ++k)
        for (const auto &[seq, v] : levels[k])
            if (!levels[k - 1].count(std::vector<uint32_t>(seq.begin(), seq.end() - 1)))
                return {};
    std::vector<unsigned char> out(kHeaderSize, 0);
    std::memcpy(out.data(), "V7WM", 4);
    PutU32(&out[4], kVersion);
    PutU32(&out[8], static_cast<uint32_t>(order));
    PutU32(&out[12], hasUnknown ? 1 : 0);
    auto place = [&](const std::vector<unsigned char> &bytes) {
        while (out.size() % 4)
            out.push_back(0);
        const uint32_t at = static_cast<uint32_t>(out.size());
        out.insert(out.end(), bytes.begin(), bytes.end());
        while (out.size() % 4)
            out.push_back(0);
        return at;
    };
    const std::vector<unsigned char> list = BuildWordList(words);
    // place() may move out: take every offset before writing it.
    const uint32_t listOffset = place(list);
    PutU32(&out[16], listOffset);
    PutU32(&out[20], static_cast<uint32_t>(list.size()));
    uint32_t leaves = 1;
    while (leaves < words.size())
        leaves *= 2;
    std::vector<unsigned char> tree(2 * leaves, 255);
    for (size_t i = 0; i < words.size(); ++i)
        tree[leaves + i] = levels[1][{static_cast<uint32_t>(kFirstWordToken + i)}].first;
    for (uint32_t i = leaves - 1; i >= 1; --i)
        tree[i] = std::min(tree[2 * i], tree[2 * i + 1]);
    const uint32_t treeOffset = place(tree);
    PutU32(&out[24], treeOffset);
    PutU32(&out[28], leaves);
    // Entry index of every stored sequence, per level (map order = sorted by context, then token).
    std::vector<std::map<std::vector<uint32_t>, uint32_t>> index(order + 1);
    for (int k = 1; k <= order; ++k) {
        uint32_t i = 0;
        for (const auto &[seq, v] : levels[k])
            index[k][seq] = i++;
    }
    for (int k = 1; k <= order; ++k) {
        std::vector<unsigned char> toks, costs, bos, children;
        for (const auto &[seq, v] : levels[k]) {
            if (k > 1)
                AppendU32(&toks, seq.back());
            costs.push_back(v.first);
            bos.push_back(v.second);
        }
        if (k < order) {
            // Children of entry i: the next level's sequences whose context is entry i; the map
            // order keeps them consecutive.
            std::vector<uint32_t> start(levels[k].size() + 1, 0);
            for (const auto &[seq, v] : levels[k + 1])
                ++start[index[k][std::vector<uint32_t>(seq.begin(), seq.end() - 1)] + 1];
            for (size_t i = 1; i < start.size(); ++i)
                start[i] += start[i - 1];
            for (uint32_t s : start)
                AppendU32(&children, s);
        }
        const uint32_t tokOff = k > 1 ? place(toks) : 0;
        const uint32_t costOff = place(costs), boOff = place(bos);
        const uint32_t childOff = k < order ? place(children) : 0;
        unsigned char *d = &out[kLevelTable + 20 * (k - 1)];
        PutU32(d, static_cast<uint32_t>(levels[k].size()));
        PutU32(d + 4, tokOff);
        PutU32(d + 8, costOff);
        PutU32(d + 12, boOff);
        PutU32(d + 16, childOff);
    }
    return out;
}

}  // namespace v7
