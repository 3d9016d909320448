// The learning rate along the sample stream: constant, then a half cosine down to a final rate.
// It depends on the sample index alone, so that a resumed run follows the same schedule.
#pragma once

#include <cstdint>

namespace v7train {

struct RateSchedule {
    double rate = 1e-3;        // up to sample `decayFrom`
    double finalRate = 1e-3;   // from sample `decayTo` on
    uint64_t decayFrom = 0, decayTo = 0;  // decayTo <= decayFrom: constant `rate`

    double At(uint64_t sample) const;
};

}  // namespace v7train
