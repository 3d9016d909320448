#include "FrameCandidates.h"

#include "Network.h"

namespace v7 {

int FrameCandidates(const float *probs, int frames, int t, const uint8_t *allowed, uint16_t *chars,
                    uint16_t *costs, int capacity) {
    if (!probs || t < 0 || t >= frames)
        return 0;
    const float *p = probs + static_cast<size_t>(t) * kOutputSize;
    int n = 0;
    for (int k = 0; k < kOutputSize && n < capacity; ++k) {
        if (!(p[k] > 0.1f))
            continue;
        const char first = LabelText(k)[0];
        uint16_t ch;
        if (k == kBlankIndex || first == '*') {
            ch = u' ';
        } else {
            ch = static_cast<uint8_t>(first);
            if (allowed && !allowed[ch])
                continue;
        }
        chars[n] = ch;
        // In double: 1 − p is exact there, and the product is not rounded to float first.
        costs[n] = static_cast<uint16_t>((1.0 - static_cast<double>(p[k])) * 65535.0);
        ++n;
    }
    return n;
}

int FrameCandidates(const Network *network, int t, const uint8_t *allowed, uint16_t *chars,
                    uint16_t *costs, int capacity) {
    int frames = 0;
    const float *probs = OutputProbabilities(network, &frames);
    return FrameCandidates(probs, frames, t, allowed, chars, costs, capacity);
}

}  // namespace v7
