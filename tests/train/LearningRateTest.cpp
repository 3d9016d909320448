// The learning-rate schedule: constant, a half cosine between two samples, constant after.
#include <gtest/gtest.h>

#include "LearningRate.h"

using v7train::RateSchedule;

TEST(RateSchedule, ConstantThenHalfCosineThenFinal) {
    RateSchedule r;
    r.rate = 1e-3;
    r.finalRate = 1e-4;
    r.decayFrom = 1000;
    r.decayTo = 3000;
    const struct {
        uint64_t sample;
        double want;
    } cases[] = {
        {0, 1e-3}, {1000, 1e-3}, {2000, 5.5e-4}, {3000, 1e-4}, {1000000, 1e-4},
    };
    for (const auto &c : cases)
        EXPECT_NEAR(r.At(c.sample), c.want, 1e-12) << c.sample;
    // Never rises along the way.
    for (uint64_t s = 1000; s < 3000; s += 50)
        EXPECT_GE(r.At(s), r.At(s + 50)) << s;
}

TEST(RateSchedule, WithoutADecayRangeTheRateStays) {
    RateSchedule r;
    r.rate = 3e-4;
    r.finalRate = 1e-5;
    for (uint64_t s : {0ull, 5000ull, 1ull << 40})
        EXPECT_DOUBLE_EQ(r.At(s), 3e-4);
}
