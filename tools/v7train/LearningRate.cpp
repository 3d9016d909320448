#include "LearningRate.h"

#include <cmath>

namespace v7train {

double RateSchedule::At(uint64_t sample) const {
    if (decayTo <= decayFrom || sample <= decayFrom)
        return rate;
    if (sample >= decayTo)
        return finalRate;
    const double pi = 3.14159265358979323846;
    double f = double(sample - decayFrom) / double(decayTo - decayFrom);
    return finalRate + (rate - finalRate) * 0.5 * (1 + std::cos(pi * f));
}

}  // namespace v7train
