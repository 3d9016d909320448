// The trainer's backpropagation against central differences of the CTC loss, in double
// precision, for weights of every array of the network.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "Ctc.h"
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

TEST(V7NetGradient, CtcGradientMatchesCentralDifferencesOfTheLogits) {
    // Loss as a function of the logits directly, with a softmax in between.
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-2, 2);
    const int T = 6, K = kClasses;
    std::vector<double> z(size_t(T) * K);
    for (double &v : z)
        v = u(rng);
    auto loss = [&](std::vector<double> *dl) {
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
        std::vector<double> tmp;
        return CtcLoss(p, T, K, kBlank, {3, 3, 9}, dl ? *dl : tmp);
    };
    std::vector<double> dl;
    ASSERT_GT(loss(&dl), 0);
    for (size_t i :
         {size_t(0), size_t(3), size_t(K + 3), size_t(2 * K + kBlank), size_t(5 * K + 9)}) {
        double keep = z[i];
        z[i] = keep + 1e-6;
        double up = loss(nullptr);
        z[i] = keep - 1e-6;
        double down = loss(nullptr);
        z[i] = keep;
        EXPECT_NEAR((up - down) / 2e-6, dl[i], 1e-6) << "logit " << i;
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
