// The ranked results of one recognition: up to 32 distinct texts with their scores (lower is
// better), and the confidences delivered with them. A plain fixed-size record, kept in the
// engine session's memory.
#pragma once

#include <cstdint>

namespace v7 {

class NBestList {
  public:
    static constexpr int kCapacity = 32;
    static constexpr int kMaxText = 2048;

    void Reset() { count_ = 0; }
    // Adds a result, or lowers the score of the same text; when full, replaces the worst entry
    // only with a better one. False for a text longer than kMaxText.
    bool Add(const uint16_t *text, int length, uint32_t score);

    int count() const { return count_; }
    // The rank-th best entry.
    const uint16_t *Text(int rank, int *length) const;
    uint32_t Score(int rank) const { return score_[order_[rank]]; }

  private:
    void Sort();
    int count_ = 0;
    uint16_t text_[kCapacity][kMaxText];
    int32_t length_[kCapacity];
    uint32_t score_[kCapacity];
    int32_t order_[kCapacity];
};

// Confidences of n scores in rank order: each score's distance below the worst, rescaled to
// [0, 1] (all 0 when the scores are equal), through exp(x − 1) and normalised to sum 1.
void Confidences(const uint32_t *scores, int n, float *out);

}  // namespace v7
