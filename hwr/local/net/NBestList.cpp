#include "NBestList.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace v7 {

bool NBestList::Add(const uint16_t *text, int length, uint32_t score) {
    if (length < 0 || length > kMaxText)
        return false;
    for (int i = 0; i < count_; ++i)
        if (length_[i] == length &&
            std::memcmp(text_[i], text, 2 * static_cast<size_t>(length)) == 0) {
            if (score_[i] <= score)
                return true;
            score_[i] = score;
            Sort();
            return true;
        }
    int slot;
    if (count_ < kCapacity) {
        slot = count_++;
    } else {
        slot = order_[count_ - 1];  // the worst
        if (score >= score_[slot])
            return true;
    }
    std::memcpy(text_[slot], text, 2 * static_cast<size_t>(length));
    length_[slot] = length;
    score_[slot] = score;
    Sort();
    return true;
}

void NBestList::Sort() {
    for (int i = 0; i < count_; ++i)
        order_[i] = i;
    for (int i = 0; i < count_; ++i) {
        int best = i;
        for (int k = i + 1; k < count_; ++k)
            if (score_[order_[k]] < score_[order_[best]])
                best = k;
        std::swap(order_[i], order_[best]);
    }
}

const uint16_t *NBestList::Text(int rank, int *length) const {
    *length = length_[order_[rank]];
    return text_[order_[rank]];
}

void Confidences(const uint32_t *scores, int n, float *out) {
    if (n <= 0)
        return;
    float worst = static_cast<float>(scores[0]);
    for (int i = 1; i < n; ++i)
        worst = std::max(worst, static_cast<float>(scores[i]));
    float lo = 0, hi = 0;
    for (int i = 0; i < n; ++i) {
        out[i] = worst - static_cast<float>(scores[i]);
        if (i == 0 || out[i] < lo)
            lo = out[i];
        if (i == 0 || out[i] > hi)
            hi = out[i];
    }
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) {
        const float x = hi > lo ? (out[i] - lo) / (hi - lo) : 0.0f;
        out[i] = std::exp(x - 1.0f);
        sum += out[i];
    }
    for (int i = 0; i < n; ++i)
        out[i] /= sum;
}

}  // namespace v7
