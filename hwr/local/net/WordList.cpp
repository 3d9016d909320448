#include "WordList.h"

#include <algorithm>
#include <cstring>

#include "LittleEndian.h"

namespace v7 {

namespace {
constexpr uint32_t kVersion = 1;
constexpr size_t kHeader = 16;

int Compare(const uint16_t *a, int an, const uint16_t *b, int bn) {
    const int n = std::min(an, bn);
    for (int i = 0; i < n; ++i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return an < bn ? -1 : an > bn ? 1 : 0;
}
}  // namespace

bool WordList::Open(const void *data, size_t size) {
    *this = WordList();
    const auto *b = static_cast<const unsigned char *>(data);
    if (!b || size < kHeader || std::memcmp(b, "V7WL", 4) != 0 || ReadU32(b + 4) != kVersion)
        return false;
    const uint64_t n = ReadU32(b + 8), m = ReadU32(b + 12);
    if (kHeader + 4 * (n + 1) + 2 * m > size)
        return false;
    const unsigned char *offsets = b + kHeader;
    const auto *chars = reinterpret_cast<const uint16_t *>(offsets + 4 * (n + 1));
    if (reinterpret_cast<uintptr_t>(chars) % 2 != 0)
        return false;
    if (ReadU32(offsets) != 0 || ReadU32(offsets + 4 * n) != m)
        return false;
    for (uint64_t i = 0; i < n; ++i) {
        const uint32_t a = ReadU32(offsets + 4 * i), e = ReadU32(offsets + 4 * (i + 1));
        if (e <= a || e > m)
            return false;  // empty word or out of range
        if (i > 0) {
            const uint32_t p = ReadU32(offsets + 4 * (i - 1));
            if (Compare(chars + p, static_cast<int>(a - p), chars + a, static_cast<int>(e - a)) >=
                0)
                return false;
        }
    }
    offsets_ = offsets;
    chars_ = reinterpret_cast<const unsigned char *>(chars);
    count_ = static_cast<uint32_t>(n);
    return true;
}

uint32_t WordList::Offset(uint32_t i) const {
    return ReadU32(offsets_ + 4 * static_cast<size_t>(i));
}

const uint16_t *WordList::Word(uint32_t i, int *n) const {
    const uint32_t a = Offset(i);
    *n = static_cast<int>(Offset(i + 1) - a);
    return reinterpret_cast<const uint16_t *>(chars_) + a;
}

uint32_t WordList::LowerBound(const uint16_t *s, int n) const {
    uint32_t lo = 0, hi = count_;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        int wn;
        const uint16_t *w = Word(mid, &wn);
        if (Compare(w, wn, s, n) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int64_t WordList::Find(const uint16_t *s, int n) const {
    if (count_ == 0 || n <= 0)
        return -1;
    const uint32_t i = LowerBound(s, n);
    if (i == count_)
        return -1;
    int wn;
    const uint16_t *w = Word(i, &wn);
    return Compare(w, wn, s, n) == 0 ? static_cast<int64_t>(i) : -1;
}

bool WordList::IsPrefix(const uint16_t *s, int n) const {
    if (count_ == 0)
        return false;
    if (n <= 0)
        return true;
    const uint32_t i = LowerBound(s, n);
    if (i == count_)
        return false;
    int wn;
    const uint16_t *w = Word(i, &wn);
    return wn >= n && std::memcmp(w, s, 2 * static_cast<size_t>(n)) == 0;
}

void WordList::PrefixRange(const uint16_t *s, int n, uint32_t *lo, uint32_t *hi) const {
    *lo = LowerBound(s, n);
    uint32_t a = *lo, b = count_;
    // First word at or after lo that does not begin with s.
    while (a < b) {
        const uint32_t mid = a + (b - a) / 2;
        int wn;
        const uint16_t *w = Word(mid, &wn);
        if (wn >= n && std::memcmp(w, s, 2 * static_cast<size_t>(n)) == 0)
            a = mid + 1;
        else
            b = mid;
    }
    *hi = a;
}

std::vector<unsigned char> BuildWordList(std::vector<std::u16string> words) {
    words.erase(std::remove_if(words.begin(), words.end(),
                               [](const std::u16string &w) { return w.empty(); }),
                words.end());
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    uint32_t m = 0;
    for (const auto &w : words)
        m += static_cast<uint32_t>(w.size());
    std::vector<unsigned char> out = {'V', '7', 'W', 'L'};
    AppendU32(&out, kVersion);
    AppendU32(&out, static_cast<uint32_t>(words.size()));
    AppendU32(&out, m);
    uint32_t at = 0;
    AppendU32(&out, 0);
    for (const auto &w : words)
        AppendU32(&out, at += static_cast<uint32_t>(w.size()));
    for (const auto &w : words)
        for (char16_t c : w)
            AppendU16(&out, static_cast<uint16_t>(c));
    while (out.size() % 4)
        out.push_back(0);
    return out;
}

}  // namespace v7
