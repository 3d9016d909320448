// The V7 network: activation limits, weight loading through the six-decimal text, and the
// optimised forward pass against the plain one.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "Activations.h"
#include "Network.h"
#include "ReferenceNetwork.h"
#include "SixDecimals.h"
#include "WeightTable.h"

using namespace v7;

namespace {

struct NetworkDeleter {
    void operator()(Network *n) const { FreeNetwork(n); }
};
using NetworkPtr = std::unique_ptr<Network, NetworkDeleter>;

std::vector<float> RandomFrames(int count, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-3.0f, 3.0f);
    std::vector<float> f(static_cast<size_t>(count) * kInputSize);
    for (float &x : f)
        x = u(rng);
    return f;
}

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

TEST(Activations, LimitsAndKnownValues) {
    struct Row {
        float (*fn)(float);
        float x;
        float want;
    } rows[] = {
        {Logistic, 88.72284f, 1.0f},   {Logistic, -88.72284f, 0.0f}, {Logistic, 0.0f, 0.5f},
        {Logistic, NAN, 1.0f},         {Tanh, 0.0f, 0.0f},           {Tanh, 50.0f, 1.0f},
        {Tanh, -50.0f, -1.0f},         {Softsign, 1.0f, 0.5f},       {Softsign, -3.0f, -0.75f},
        {Softsign, FLT_MAX, 1.0f},     {Softsign, -FLT_MAX, -1.0f},  {SafeExp, -FLT_MAX, 0.0f},
        {SafeExp, 88.72284f, FLT_MAX}, {SafeExp, 0.0f, 1.0f},        {Identity, -2.5f, -2.5f},
    };
    for (const Row &r : rows)
        EXPECT_EQ(r.fn(r.x), r.want) << "x=" << r.x;
}

TEST(WeightTable, HoldsEveryArrayTwiceInNameOrder) {
    uint64_t total = 0, used = 0;
    for (int i = 0; i < kWeightTableSize; ++i) {
        total += kWeightTable[i].count;
        if (IsWeightsEntry(kWeightTable[i]))
            used += kWeightTable[i].count;
        if (i > 0) {
            EXPECT_LT(std::strcmp(kWeightTable[i - 1].name, kWeightTable[i].name), 0);
        }
        EXPECT_EQ(IsWeightsEntry(kWeightTable[i]), i % 2 == 1) << kWeightTable[i].name;
    }
    EXPECT_EQ(total, kWeightSectionFloats);
    EXPECT_EQ(used, 428734u);
}

TEST(WeightTable, MatchesTheArraysTheNetworkBuilds) {
    std::vector<float> w(kWeightSectionFloats, 0.0f);
    NetworkPtr net(LoadNetwork(kWeightSectionFloats, w.data()));
    ASSERT_TRUE(net);
    for (const WeightTableEntry &e : kWeightTable) {
        if (!IsWeightsEntry(e))
            continue;
        uint32_t count = 0;
        const char *value = e.name + std::strlen("weightContainer_");
        ASSERT_NE(NetworkWeights(net.get(), value, &count), nullptr) << value;
        EXPECT_EQ(count, e.count) << value;
    }
}

TEST(SixDecimals, KnownRoundings) {
    struct Row {
        float stored, used;
    } rows[] = {{1e-7f, 0.0f},           {-2.5000004f, -2.5f}, {0.1234567f, 0.123457f},
                {0.0000004f, 0.0f},      {-1e-7f, -0.0f},      {1.0f / 128, 0.007812f},
                {3.0f / 128, 0.023438f}, {1e30f, 1e30f},       {-8388609.0f, -8388609.0f}};
    for (const Row &r : rows) {
        EXPECT_EQ(Bits(SixDecimalRoundTrip(r.stored)), Bits(r.used)) << r.stored;
        EXPECT_EQ(Bits(SixDecimalRoundTripThroughText(r.stored)), Bits(r.used)) << r.stored;
    }
}

// The fast conversion must agree with the text on every float; sweep bit patterns across all
// exponents that round to something other than themselves, plus the exact ties j/128.
TEST(SixDecimals, FastPathEqualsTextRoundTrip) {
    std::mt19937 rng(7);
    for (int i = 0; i < 400000; ++i) {
        uint32_t b = rng();
        // Bias towards exponents below 2^23 where rounding happens.
        if (i % 2)
            b = (b & 0x807FFFFFu) | ((100u + rng() % 50u) << 23);
        float f;
        std::memcpy(&f, &b, 4);
        if (!std::isfinite(f))
            continue;
        ASSERT_EQ(Bits(SixDecimalRoundTrip(f)), Bits(SixDecimalRoundTripThroughText(f)))
            << std::hexfloat << f;
    }
    for (int j = -40000; j <= 40000; ++j) {
        const float f = static_cast<float>(j) / 128.0f;
        ASSERT_EQ(Bits(SixDecimalRoundTrip(f)), Bits(SixDecimalRoundTripThroughText(f))) << f;
    }
}

TEST(LoadNetwork, RefusesSectionsOfAnyOtherSize) {
    std::vector<float> w(kWeightSectionFloats + 1, 0.0f);
    EXPECT_EQ(LoadNetwork(kWeightSectionFloats, nullptr), nullptr);
    EXPECT_EQ(LoadNetwork(0, w.data()), nullptr);
    EXPECT_EQ(LoadNetwork(kWeightSectionFloats - 1, w.data()), nullptr);
    EXPECT_EQ(LoadNetwork(kWeightSectionFloats + 1, w.data()), nullptr);
    NetworkPtr ok(LoadNetwork(kWeightSectionFloats, w.data()));
    EXPECT_TRUE(ok);
}

TEST(LoadNetwork, GivesTheFloatsOfTheTextRoundTrip) {
    std::vector<float> w = RandomWeightSection(3, 1.5f);
    // Values that the six decimals change, and a few exact ties.
    w[1] = 1e-7f;
    w[3] = 1.0f / 128;
    w[5] = -2.5000004f;
    NetworkPtr fast(LoadNetwork(kWeightSectionFloats, w.data()));
    NetworkPtr text(LoadNetworkThroughText(kWeightSectionFloats, w.data()));
    ASSERT_TRUE(fast && text);
    for (const WeightTableEntry &e : kWeightTable) {
        if (!IsWeightsEntry(e))
            continue;
        const char *value = e.name + std::strlen("weightContainer_");
        uint32_t n = 0;
        const float *a = NetworkWeights(fast.get(), value, &n);
        const float *b = NetworkWeights(text.get(), value, nullptr);
        ASSERT_TRUE(a && b);
        ASSERT_EQ(std::memcmp(a, b, n * 4), 0) << value;
    }
}

TEST(LoadNetwork, NonFiniteWeightsFailOnlyWhereTheyAreUsed) {
    std::vector<float> w(kWeightSectionFloats, 0.25f);
    w[0] = INFINITY;  // first deltas entry: stored, never read
    NetworkPtr withDelta(LoadNetwork(kWeightSectionFloats, w.data()));
    EXPECT_TRUE(withDelta);
    w[80] = NAN;  // first float of bias_to_hidden_0_0_weights
    testing::internal::CaptureStdout();
    NetworkPtr withWeight(LoadNetwork(kWeightSectionFloats, w.data()));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(withWeight);
    EXPECT_NE(out.find("ERROR unable to read from stream"), std::string::npos);
    EXPECT_NE(out.find("WARNING: unable to load 'weightContainer.bias_to_hidden_0_0_weights'"),
              std::string::npos);
}

TEST(RunNetwork, SubsamplesTwiceRoundingUp) {
    std::vector<float> w(kWeightSectionFloats, 0.0f);
    NetworkPtr net(LoadNetwork(kWeightSectionFloats, w.data()));
    ASSERT_TRUE(net);
    struct Row {
        int in, out;
    } rows[] = {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {7, 2}, {8, 2}, {9, 3}, {1000, 250}};
    for (const Row &r : rows) {
        std::vector<float> f = RandomFrames(r.in, 1);
        EXPECT_EQ(RunNetwork(net.get(), f.data(), r.in, kInputSize), r.out) << r.in;
    }
    std::vector<float> f = RandomFrames(4, 1);
    EXPECT_EQ(RunNetwork(net.get(), f.data(), 4, 14), 0);
    EXPECT_EQ(RunNetwork(nullptr, f.data(), 4, kInputSize), 0);
}

TEST(RunNetwork, SoftmaxOfEqualInputsIsUniform) {
    std::vector<float> w(kWeightSectionFloats, 0.0f);
    NetworkPtr net(LoadNetwork(kWeightSectionFloats, w.data()));
    std::vector<float> f = RandomFrames(9, 2);
    const int frames = RunNetwork(net.get(), f.data(), 9, kInputSize);
    const float *p = OutputProbabilities(net.get(), nullptr);
    for (int i = 0; i < frames * kOutputSize; ++i)
        EXPECT_EQ(p[i], 1.0f / 54.0f);
}

TEST(RunNetwork, DeltasDoNotChangeTheOutput) {
    std::vector<float> a = RandomWeightSection(11, 0.4f), b = a;
    for (int i = 0, at = 0; i < kWeightTableSize; at += kWeightTable[i].count, ++i)
        if (!IsWeightsEntry(kWeightTable[i]))
            for (uint32_t k = 0; k < kWeightTable[i].count; ++k)
                b[at + k] = 1e6f * (k % 7);
    NetworkPtr na(LoadNetwork(kWeightSectionFloats, a.data()));
    NetworkPtr nb(LoadNetwork(kWeightSectionFloats, b.data()));
    std::vector<float> f = RandomFrames(40, 4);
    const int n = RunNetwork(na.get(), f.data(), 40, kInputSize);
    ASSERT_EQ(RunNetwork(nb.get(), f.data(), 40, kInputSize), n);
    EXPECT_EQ(std::memcmp(OutputProbabilities(na.get(), nullptr),
                          OutputProbabilities(nb.get(), nullptr), n * kOutputSize * 4),
              0);
}

// The batched, vectorised pass must give exactly the floats of the plain one, for the shipped
// kinds and for every other kind of the vocabulary, at lengths that cross the chunk edges.
TEST(RunNetwork, EqualsThePlainForwardPassBitForBit) {
    struct Row {
        const char *hidden, *subsample;
    } kinds[] = {{"lstm", "tanh"},
                 {"linear_lstm", "logistic"},
                 {"softsign_lstm", "softsign"},
                 {"lstm", "identity"}};
    const std::vector<float> w = RandomWeightSection(5, 0.5f);
    for (const Row &k : kinds) {
        NetworkDescription d;
        d.hiddenType = k.hidden;
        d.subsampleType = k.subsample;
        NetworkPtr net(LoadNetwork(d, kWeightSectionFloats, w.data()));
        ASSERT_TRUE(net) << k.hidden;
        for (int T : {1, 2, 3, 7, 64, 65, 130, 257}) {
            std::vector<float> f = RandomFrames(T, T);
            const int n = RunNetwork(net.get(), f.data(), T, kInputSize);
            const std::vector<float> want = ReferenceForward(net.get(), d, f.data(), T);
            ASSERT_EQ(static_cast<size_t>(n) * kOutputSize, want.size());
            const float *got = OutputProbabilities(net.get(), nullptr);
            for (size_t i = 0; i < want.size(); ++i)
                ASSERT_EQ(Bits(got[i]), Bits(want[i]))
                    << k.hidden << "/" << k.subsample << " T=" << T << " i=" << i;
        }
    }
}

TEST(RunNetwork, StridedInputEqualsPacked) {
    const std::vector<float> w = RandomWeightSection(9, 0.5f);
    NetworkPtr net(LoadNetwork(kWeightSectionFloats, w.data()));
    const int T = 33;
    std::vector<float> f = RandomFrames(T, 8), wide(static_cast<size_t>(T) * 19, -7.0f);
    for (int t = 0; t < T; ++t)
        std::memcpy(&wide[t * 19 + 4], &f[t * 15], 15 * 4);
    const int n = RunNetwork(net.get(), f.data(), T, kInputSize);
    std::vector<float> packed(OutputProbabilities(net.get(), nullptr),
                              OutputProbabilities(net.get(), nullptr) + n * kOutputSize);
    ASSERT_EQ(RunNetworkStrided(net.get(), &wide[4], T, 19), n);
    EXPECT_EQ(
        std::memcmp(packed.data(), OutputProbabilities(net.get(), nullptr), packed.size() * 4), 0);
}

}  // namespace
