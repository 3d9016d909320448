// The word model of the V7 word pass: a word list and a back-off n-gram model over its word
// ids, with 8-bit costs (lower is likelier), read in place from section 1 of
// english.additional.dct.
//
// Tokens: 0 sentence start, 1 sentence end, 2 unknown word, 3 + i word i of the list.
// Layout (little-endian, offsets from the start of the model, every array 4-byte aligned):
//   0  "V7WM"      4  version = 1      8  order (1..9)      12 flags: bit 0 = has unknown word
//   16 word list offset, size (a WordList)
//   24 completion tree offset, leaf count P (power of two): a min-tree of the unigram costs of
//      the words, leaves P + i, inner nodes i = min(2i, 2i + 1), node 0 unused
//   32 per level k = 1..order, five words: entry count, offset of the entries' tokens (0 for
//      level 1, whose entry i is token i), offset of the costs (8-bit), offset of the back-off
//      costs (8-bit), offset of count + 1 child starts into level k + 1 (0 for the last level).
//   The children of an entry are the n-grams that extend it by one newer token, sorted by
//   token.
// Cost of w after the context h (oldest first): the n-gram (h, w) if stored; otherwise the
// back-off cost of h (0 when h is not stored) plus the cost of w after h without its oldest
// token; at the empty context, the unigram cost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "WordList.h"

namespace v7 {

inline constexpr uint32_t kSentenceStart = 0;
inline constexpr uint32_t kSentenceEnd = 1;
inline constexpr uint32_t kUnknownWord = 2;
inline constexpr uint32_t kFirstWordToken = 3;
inline constexpr int kMaxNgramOrder = 9;

class WordModel {
  public:
    bool Open(const void *data, size_t size);
    const WordList &words() const { return words_; }
    int order() const { return order_; }

    // Token of a word; the unknown-word token for a word not in the list.
    uint32_t Token(const uint16_t *s, int n) const;
    // Cost of token w after context (oldest first; only the newest order − 1 count). False
    // when it cannot be scored (an unknown word without an unknown-word entry, a bad token).
    bool Cost(const uint32_t *context, int contextLength, uint32_t w, uint32_t *cost) const;
    // Smallest cost after the context of any word with list index in [lo, hi).
    bool CompletionCost(const uint32_t *context, int contextLength, uint32_t lo, uint32_t hi,
                        uint32_t *cost) const;

  private:
    struct Level {
        uint32_t count = 0;
        const unsigned char *tokens = nullptr;
        const unsigned char *costs = nullptr;
        const unsigned char *backoffs = nullptr;
        const unsigned char *children = nullptr;
    };
    // Entry index of the n-gram context[0..n) at level n, or -1.
    int64_t FindNode(const uint32_t *context, int n) const;
    int64_t FindChild(int level, uint32_t node, uint32_t token) const;
    uint32_t ChildStart(int level, uint32_t node) const;
    uint32_t TokenAt(int level, uint32_t i) const;
    uint32_t RangeMin(uint32_t lo, uint32_t hi) const;

    WordList words_;
    int order_ = 0;
    bool hasUnknown_ = false;
    const unsigned char *tree_ = nullptr;
    uint32_t leaves_ = 0;
    Level levels_[kMaxNgramOrder + 1];  // 1-based
};

// One n-gram for BuildWordModel: its tokens (oldest first), cost and back-off cost.
struct NgramEntry {
    std::vector<uint32_t> tokens;
    uint8_t cost = 255;
    uint8_t backoff = 0;
};

// Bytes of a word model. words must be sorted and unique (their list indexes give the tokens);
// every token has a unigram (missing ones cost 255); every stored n-gram's context must be
// stored too. Empty on invalid input.
std::vector<unsigned char> BuildWordModel(const std::vector<std::u16string> &words, int order,
                                          bool hasUnknown, const std::vector<NgramEntry> &ngrams);

}  // namespace v7
