// The trainer's backpropagation against central differences of the CTC loss, in double
// precision, for weights of every array of the network.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <random>

#include "Ctc.h"
#include "Labels.h"
#include "V7Net.h"
#include "WeightLayout.h"

using namespace v7train;

namespace {

double Loss(V7Net<double> &net, const std::vector<double> &x, int T, const std::vector<int> &labels,
            std::vector<double> *dl) {
    int T2 = net.Forward(x.data(), T);
    std::vector<double> tmp;
    return CtcLoss(net.Probabilities(), T2, kClasses, kBlank, labels, dl ? *dl : tmp);
}

}  // namespace

TEST(V7NetGradient, BackpropagationMatchesCentralDifferencesInEveryArray) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-0.3, 0.3);
    V7Net<double> net;
    for (double &p : net.params)
        p = u(rng);
    const int T = 13;  // odd: the block layers pad their last frame
    std::vector<double> x(size_t(T) * 15);
    for (double &v : x)
        v = u(rng) * 3;
    std::vector<int> labels = {5, 30};
    std::vector<double> dl, grad(net.params.size(), 0.0);
    Loss(net, x, T, labels, &dl);
    net.Backward(dl, grad);
    const double h = 1e-5;
    for (const WeightArray &a : WeightLayout::V7().Arrays()) {
        for (int trial = 0; trial < 4; ++trial) {
            size_t i = a.offset + size_t(rng()) % a.count;
            double keep = net.params[i];
            net.params[i] = keep + h;
            double up = Loss(net, x, T, labels, nullptr);
            net.params[i] = keep - h;
            double down = Loss(net, x, T, labels, nullptr);
            net.params[i] = keep;
            double numeric = (up - down) / (2 * h);
            double scale = std::max({1e-6, std::fabs(numeric), std::fabs(grad[i])});
            EXPECT_LT(std::fabs(numeric - grad[i]) / scale, 1e-4)
                << a.name << "[" << i - a.offset << "] numeric " << numeric << " analytic "
                << grad[i];
        }
    }
}

TEST(V7NetGradient, LockstepSequencesGiveTheGradientsOfOneAtATime) {
    // Lengths that end at different steps of every level, odd ones padding their last block;
    // a sequence given no gradient must add nothing.
    const int lengths[] = {13, 1, 2, 7, 40, 5, 13, 3, 9, 26};
    const int leftOut = 3;
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> u(-0.3, 0.3);
    V7Net<double> one, many;
    for (double &p : one.params)
        p = u(rng);
    many.params = one.params;
    std::vector<std::vector<double>> x, dl;
    std::vector<double> want(one.params.size(), 0.0), got(one.params.size(), 0.0);
    std::vector<std::vector<double>> prob;
    for (size_t s = 0; s < std::size(lengths); ++s) {
        x.emplace_back(size_t(lengths[s]) * 15);
        for (double &v : x.back())
            v = u(rng) * 3;
        int T2 = one.Forward(x.back().data(), lengths[s]);
        prob.push_back(one.Probabilities());
        dl.emplace_back(size_t(T2) * kClasses);
        for (double &v : dl.back())
            v = u(rng);
        if (int(s) != leftOut)
            one.Backward(dl.back(), want);
    }
    std::vector<const double *> inputs, dLogits;
    std::vector<int> frames(std::begin(lengths), std::end(lengths));
    for (size_t s = 0; s < x.size(); ++s) {
        inputs.push_back(x[s].data());
        dLogits.push_back(int(s) == leftOut ? nullptr : dl[s].data());
    }
    many.ForwardBatch(inputs, frames);
    ASSERT_EQ(many.Sequences(), int(x.size()));
    for (size_t s = 0; s < x.size(); ++s) {
        ASSERT_EQ(size_t(many.OutFrames(int(s))) * kClasses, prob[s].size());
        for (size_t i = 0; i < prob[s].size(); ++i)
            ASSERT_NEAR(many.Probabilities(int(s))[i], prob[s][i], 1e-12) << "sequence " << s;
    }
    many.BackwardBatch(dLogits, got);
    for (const WeightArray &a : WeightLayout::V7().Arrays()) {
        double worst = 0, scale = 1e-12;
        for (size_t i = a.offset; i < a.offset + a.count; ++i) {
            worst = std::max(worst, std::fabs(got[i] - want[i]));
            scale = std::max(scale, std::fabs(want[i]));
        }
        EXPECT_LT(worst / scale, 1e-10) << a.name;
    }
}

// Random logits of T frames and their softmax.
struct Logits {
    std::vector<double> z;
    int T;
    Logits(int frames, unsigned seed) : T(frames) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> u(-2, 2);
        z.resize(size_t(T) * kClasses);
        for (double &v : z)
            v = u(rng);
    }
    std::vector<double> Prob() const {
        const int K = kClasses;
        std::vector<double> p(z.size());
        for (int t = 0; t < T; ++t) {
            double m = -1e30, s = 0;
            for (int k = 0; k < K; ++k)
                m = std::max(m, z[size_t(t) * K + k]);
            for (int k = 0; k < K; ++k)
                s += p[size_t(t) * K + k] = std::exp(z[size_t(t) * K + k] - m);
            for (int k = 0; k < K; ++k)
                p[size_t(t) * K + k] /= s;
        }
        return p;
    }
};

TEST(V7NetGradient, CtcGradientMatchesCentralDifferencesOfTheLogits) {
    struct Row {
        std::vector<int> labels;
        int optional;
    };
    // A repeat; an optional word gap inside, at the start and between equal letters.
    const Row rows[] = {
        {{3, 3, 9}, -1}, {{3, kGap, 9}, kGap}, {{kGap, 4, 4}, kGap}, {{5, kGap, 5}, kGap}};
    for (const Row &row : rows) {
        Logits x(6, 3);
        auto loss = [&](std::vector<double> *dl) {
            std::vector<double> tmp;
            return CtcLoss(x.Prob(), x.T, kClasses, kBlank, row.labels, dl ? *dl : tmp,
                           row.optional);
        };
        std::vector<double> dl;
        ASSERT_GT(loss(&dl), 0);
        const size_t K = kClasses;
        for (size_t i : {size_t(0), size_t(3), K + 3, 2 * K + kBlank, 5 * K + 9, 3 * K + kGap}) {
            double keep = x.z[i];
            x.z[i] = keep + 1e-6;
            double up = loss(nullptr);
            x.z[i] = keep - 1e-6;
            double down = loss(nullptr);
            x.z[i] = keep;
            EXPECT_NEAR((up - down) / 2e-6, dl[i], 1e-6) << "logit " << i;
        }
    }
}

TEST(V7NetGradient, AnOptionalGapAddsTheLabellingsWithAndWithoutIt) {
    // Every labelling must be counted once: P(a * b, gap optional) = P(a * b) + P(a b).
    Logits x(7, 5);
    std::vector<double> p = x.Prob(), dl;
    for (const std::vector<int> &with :
         {std::vector<int>{27, kGap, 28}, std::vector<int>{27, kGap, 27, kGap, 30}}) {
        std::vector<int> without;
        for (int l : with)
            if (l != kGap)
                without.push_back(l);
        double both = std::exp(-CtcLoss(p, x.T, kClasses, kBlank, with, dl, kGap));
        double sum = 0;
        // All ways of keeping or dropping each gap.
        int gaps = int(with.size() - without.size());
        for (int mask = 0; mask < (1 << gaps); ++mask) {
            std::vector<int> kept;
            int g = 0;
            for (int l : with)
                if (l != kGap || (mask >> g++) & 1)
                    kept.push_back(l);
            sum += std::exp(-CtcLoss(p, x.T, kClasses, kBlank, kept, dl));
        }
        EXPECT_NEAR(both, sum, 1e-12 + 1e-9 * sum);
    }
}

TEST(V7NetGradient, CtcRefusesLabelsThatCannotFit) {
    std::vector<double> p(size_t(2) * kClasses, 1.0 / kClasses), dl;
    // "aa" needs a blank between the two a's: three frames.
    EXPECT_LT(CtcLoss(p, 2, kClasses, kBlank, {27, 27}, dl), 0);
    EXPECT_GT(CtcLoss(p, 2, kClasses, kBlank, {27, 28}, dl), 0);
}

TEST(WeightLayoutTest, HoldsTheEnginesArraysInNameOrder) {
    const WeightLayout &L = WeightLayout::V7();
    EXPECT_EQ(L.Arrays().size(), 31u);
    EXPECT_EQ(L.Total(), 428734u);
    EXPECT_EQ(L.SectionFloats(), 857468u);
    EXPECT_EQ(L.Arrays().front().name, "bias_to_hidden_0_0");
    EXPECT_EQ(L.Arrays()[9].name, "hidden_0_0_to_hidden_0_0_delay_1");
    EXPECT_EQ(L.Arrays().back().name, "subsample_1_to_hidden_2_1");
    EXPECT_EQ(L.Get("hidden_2_1_to_hidden_2_1_delay_-1").count, 129600u);
    std::vector<float> params(L.Total());
    for (size_t i = 0; i < params.size(); ++i)
        params[i] = float(i);
    std::vector<float> section = L.ToSection(params), back;
    // Deltas first, then the weights, per array.
    EXPECT_EQ(section[0], 0.0f);
    EXPECT_EQ(section[80], 0.0f);  // bias_to_hidden_0_0 has 80 values
    EXPECT_EQ(section[80 + 1], 1.0f);
    ASSERT_TRUE(L.FromSection(section, back));
    EXPECT_EQ(back, params);
    section.pop_back();
    EXPECT_FALSE(L.FromSection(section, back));
}
