// A sorted list of words of 16-bit characters, read in place from resource bytes: membership,
// prefix queries, the range of words with a prefix, and word indexes.
//
// Layout (little-endian, offsets from the start of the list):
//   0  "V7WL"            4  version = 1
//   8  word count N      12 character count M
//   16 N + 1 offsets (32-bit) into the characters: word i is [offset[i], offset[i+1])
//   16 + 4(N+1)  M 16-bit characters
// Words are non-empty and strictly ascending in code-unit order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace v7 {

class WordList {
  public:
    // Validates the layout (sizes, offsets, order); false leaves the list empty.
    bool Open(const void *data, size_t size);
    bool empty() const { return count_ == 0; }
    uint32_t count() const { return count_; }

    // Index of the word, or -1.
    int64_t Find(const uint16_t *s, int n) const;
    bool IsWord(const uint16_t *s, int n) const { return Find(s, n) >= 0; }
    // Some word begins with s (the word itself included).
    bool IsPrefix(const uint16_t *s, int n) const;
    // The words beginning with s are indexes [*lo, *hi).
    void PrefixRange(const uint16_t *s, int n, uint32_t *lo, uint32_t *hi) const;
    const uint16_t *Word(uint32_t i, int *n) const;

  private:
    uint32_t LowerBound(const uint16_t *s, int n) const;
    uint32_t Offset(uint32_t i) const;
    const unsigned char *offsets_ = nullptr;
    const unsigned char *chars_ = nullptr;
    uint32_t count_ = 0;
};

// Bytes of a word list holding the words (UTF-16), sorted and without duplicates.
std::vector<unsigned char> BuildWordList(std::vector<std::u16string> words);

}  // namespace v7
