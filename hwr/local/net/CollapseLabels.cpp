#include "CollapseLabels.h"

namespace v7 {

int CollapseLabels(const uint16_t *chars, const uint16_t *costs, uint16_t *out, uint16_t *outCosts,
                   int capacity) {
    int n = 0;
    uint16_t previous = 0;
    for (int i = 0; chars[i] != 0; ++i) {
        const uint16_t c = chars[i];
        if (c == u' ') {
            previous = c;
            continue;
        }
        if (n > 0 && c == out[n - 1] && previous == c) {
            if (costs[i] < outCosts[n - 1])
                outCosts[n - 1] = costs[i];
        } else if (n < capacity) {
            out[n] = c;
            outCosts[n] = costs[i];
            ++n;
        }
        previous = c;
    }
    return n;
}

}  // namespace v7
