// The trainer's forward pass and the recogniser's RunNetwork give the same probabilities for
// the same weight section, on frames that the recogniser's own ink pipeline made.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "Labels.h"
#include "Network.h"
#include "SectionedResource.h"
#include "Trainer.h"
#include "WeightLayout.h"
#include "inksynth/Augment.h"
#include "inksynth/Ink.h"

using namespace v7train;

namespace {

// Two words of wavy strokes with a wide gap, so that the writing makes two segments.
std::vector<int16_t> TwoWordWriting() {
    inksynth::Ink ink;
    for (int word = 0; word < 2; ++word)
        for (int s = 0; s < 3; ++s) {
            inksynth::Stroke st;
            for (int i = 0; i <= 40; ++i) {
                float x = 20 + word * 400 + s * 60 + i * 1.5f;
                st.push_back({x, 80 + 30 * std::sin(i * 0.3f + s)});
            }
            ink.strokes.push_back(st);
        }
    ink.strokes.push_back({{300, 40}});  // a dot of its own
    return inksynth::ToRawStrokes(ink);
}

}  // namespace

TEST(TrainerMatchesEngine, ForwardPassGivesRunNetworkProbabilities) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-0.4f, 0.4f);
    std::vector<float> params(WeightLayout::V7().Total());
    for (float &p : params)
        p = u(rng);
    InputNorm norm = InputNorm::Identity();
    for (int k = 0; k < kFrameInputs; ++k) {
        norm.mean[k] = 0.5f * float(k);
        norm.scale[k] = 1.0f + 0.3f * float(k);
    }
    std::vector<float> weights = EngineWeights(params, norm);
    std::vector<float> section = WeightLayout::V7().ToSection(weights);

    Example ex;
    ASSERT_TRUE(ExampleFromRaw(TwoWordWriting(), "ab cd", false, ex));
    ASSERT_EQ(ex.segments.size(), 3u);  // two words and the dot between them

    Recogniser trainer(weights);
    std::vector<float> ours;
    int frames = trainer.Run(ex, ours);

    v7::Network *net = v7::LoadNetwork(uint32_t(section.size()), section.data());
    ASSERT_NE(net, nullptr);
    std::vector<float> engine;
    for (const std::vector<float> &seg : ex.segments) {
        int T = v7::RunNetwork(net, seg.data(), int(seg.size() / kFrameInputs), kFrameInputs);
        int out = 0;
        const float *p = v7::OutputProbabilities(net, &out);
        ASSERT_EQ(out, T);
        engine.insert(engine.end(), p, p + size_t(T) * kClasses);
    }
    v7::FreeNetwork(net);
    ASSERT_EQ(int(engine.size()), frames * kClasses);
    double worst = 0;
    for (size_t i = 0; i < engine.size(); ++i)
        worst = std::max(worst, double(std::fabs(engine[i] - ours[i])));
    EXPECT_LT(worst, 2e-5);
}

TEST(TrainerMatchesEngine, StandardisedInputsAndFoldedWeightsAgree) {
    // Training runs on standardised inputs with the raw weights; the engine on raw inputs with
    // the folded ones: the first level's net inputs must not change.
    std::mt19937 rng(5);
    // Moderate weights: large random ones make the recurrence chaotic and amplify float noise.
    std::uniform_real_distribution<float> u(-0.15f, 0.15f);
    std::vector<float> params(WeightLayout::V7().Total());
    for (float &p : params)
        p = u(rng);
    InputNorm norm = InputNorm::Identity();
    norm.mean[1] = 32;
    norm.scale[1] = 18;
    norm.mean[9] = 25;
    norm.scale[9] = 10;
    Example raw;
    ASSERT_TRUE(ExampleFromRaw(TwoWordWriting(), "ab cd", true, raw));
    Example standard = raw;
    for (std::vector<float> &s : standard.segments)
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = (s[i] - norm.mean[i % kFrameInputs]) / norm.scale[i % kFrameInputs];
    std::vector<float> a, b;
    Recogniser plain(params);
    Recogniser folded(FoldNorm(params, norm));
    int T = plain.Run(standard, a);
    ASSERT_EQ(folded.Run(raw, b), T);
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_NEAR(a[i], b[i], 1e-4) << i;
}

TEST(TrainerMatchesEngine, UnfoldingUndoesFolding) {
    // A run that starts from shipped weights unfolds them for its own standardisation; folding
    // them again on export must give back what was shipped.
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> folded(WeightLayout::V7().Total());
    for (float &p : folded)
        p = u(rng);
    InputNorm norm = InputNorm::Identity();
    for (int k = 0; k < kFrameInputs; ++k) {
        norm.mean[k] = float(k) * 3 - 20;
        norm.scale[k] = 0.5f + float(k);
    }
    std::vector<float> unfolded = UnfoldNorm(folded, norm);
    EXPECT_NE(unfolded, folded);
    std::vector<float> again = FoldNorm(unfolded, norm);
    for (size_t i = 0; i < folded.size(); ++i)
        ASSERT_NEAR(again[i], folded[i], 1e-4f * (1 + std::fabs(folded[i]))) << i;
}

TEST(TrainerMatchesEngine, ShippedWeightsGiveTheSameProbabilities) {
    // The trained weights as shipped (larger than random ones, and saturating gates): the
    // trainer reading english.main.dct's weight section and the engine loading it agree.
    std::ifstream in(QV_SHIPPED_DATA_DIR "english.main.dct", std::ios::binary);
    ASSERT_TRUE(in);
    std::vector<unsigned char> image((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    ASSERT_TRUE(v7::SectionedResource::IsValid(image.data(), image.size()));
    const unsigned char *data = nullptr;
    uint32_t length = 0;
    ASSERT_TRUE(v7::SectionedResource::Section(image.data(), image.size(), 1, &data, &length));
    ASSERT_EQ(length % 4, 0u);
    std::vector<float> section(length / 4);
    std::memcpy(section.data(), data, length);
    std::vector<float> params;
    ASSERT_TRUE(WeightLayout::V7().FromSection(section, params));

    Example ex;
    ASSERT_TRUE(ExampleFromRaw(TwoWordWriting(), "ab cd", false, ex));
    Recogniser trainer(params);
    std::vector<float> ours;
    const int frames = trainer.Run(ex, ours);

    v7::Network *net = v7::LoadNetwork(length / 4, section.data());
    ASSERT_NE(net, nullptr);
    std::vector<float> engine;
    for (const std::vector<float> &seg : ex.segments) {
        const int T = v7::RunNetwork(net, seg.data(), int(seg.size() / kFrameInputs), kFrameInputs);
        int out = 0;
        const float *p = v7::OutputProbabilities(net, &out);
        engine.insert(engine.end(), p, p + size_t(T) * kClasses);
    }
    v7::FreeNetwork(net);
    ASSERT_EQ(int(engine.size()), frames * kClasses);
    double worst = 0;
    for (size_t i = 0; i < engine.size(); ++i)
        worst = std::max(worst, double(std::fabs(engine[i] - ours[i])));
    EXPECT_LT(worst, 1e-4);
    // And the same best path.
    EXPECT_EQ(GreedyDecode(engine.data(), frames), GreedyDecode(ours.data(), frames));
}
