// The V7 engine behind its iWFS_ interface: resource checks, session parameters and the codes
// of recognition, on resources built in memory by the resource tool's library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "LittleEndian.h"
#include "Network.h"
#include "ResourceBuilder.h"
#include "SectionedResource.h"
#include "SyntheticInk.h"
#include "V7EngineRecord.h"
#include "WeightFile.h"
#include "WeightTable.h"
#include "iWFS.h"

namespace {

using Bytes = std::vector<unsigned char>;

const Bytes &MainResource() {
    static const Bytes main =
        v7res::BuildMainResource(v7res::MainSettings{}, v7res::RandomWeightSection(7));
    return main;
}

// A few words and every single letter, so that any character string can be split into words.
const Bytes &AdditionalResource() {
    static const Bytes add = [] {
        std::vector<std::u16string> words = {u"cat", u"car", u"dog", u"hello", u"world"};
        for (char16_t c = u'a'; c <= u'z'; ++c)
            words.push_back(std::u16string(1, c));
        for (char16_t c = u'A'; c <= u'Z'; ++c)
            words.push_back(std::u16string(1, c));
        return v7res::BuildAdditionalResource(v7res::WordPassSettings{}, words, 1, {});
    }();
    return add;
}

struct Engine {
    std::vector<uint64_t> memory;
    iWFS_Engine *engine = nullptr;
    int code = -1;
    Engine(const Bytes &main, const Bytes *add) {
        size_t size = 0;
        code = iWFS_Engine_GetStackSize(main.data(), main.size(), add ? add->data() : nullptr,
                                        add ? add->size() : 0, &size);
        if (code)
            return;
        memory.resize(size / 8 + 1);
        code = iWFS_Engine_Init(main.data(), main.size(), add ? add->data() : nullptr,
                                add ? add->size() : 0, memory.data(), size, &engine);
    }
    ~Engine() {
        if (engine)
            iWFS_Engine_Uninit(engine);
    }
};

struct Session {
    std::unique_ptr<uint64_t[]> memory;
    iWFS_Session *session = nullptr;
    int code = -1;
    std::vector<std::u16string> results;
    std::vector<float> confidences;
    explicit Session(const iWFS_Engine *engine) {
        size_t size = 0;
        if ((code = iWFS_Session_GetBufSize(engine, &size)))
            return;
        memory.reset(new uint64_t[size / 8 + 1]);
        if ((code = iWFS_Session_Init(engine, memory.get(), size, &session)))
            return;
        const iWFS_ResultFunction fn = &Session::Collect;
        void *self = this;
        iWFS_Session_SetParam(session, kWfsResultFunction, &fn);
        iWFS_Session_SetParam(session, kWfsResultContext, &self);
    }
    ~Session() {
        if (session)
            iWFS_Session_Uninit(session);
    }
    static void Collect(void *ctx, const uint16_t *text, int n, float confidence) {
        auto *s = static_cast<Session *>(ctx);
        s->results.emplace_back(text, text + n);
        s->confidences.push_back(confidence);
    }
    int Set(int id, int32_t v) { return iWFS_Session_SetParam(session, id, &v); }
    int Recognize(const std::vector<int32_t> &pairs) {
        results.clear();
        confidences.clear();
        return iWFS_Session_Recognize(session, pairs.data(), static_cast<int>(pairs.size() / 2));
    }
};

Bytes WithChecksum(Bytes b) {
    uint32_t sum = 0;
    for (size_t i = v7::SectionedResource::kHeaderSize; i < b.size(); ++i)
        sum += b[i];
    v7::PutU32(&b[168], sum);
    return b;
}

TEST(V7Engine, RefusesDamagedResources) {
    const Bytes &main = MainResource();
    struct Row {
        const char *what;
        Bytes bytes;
        int code;
    } rows[] = {
        {"format byte",
         [&] {
             Bytes b = main;
             b[0] = 2;
             return b;
         }(),
         kWfsInvalidResource},
        {"checksum",
         [&] {
             Bytes b = main;
             b[200] ^= 1;
             return b;
         }(),
         kWfsInvalidResource},
        {"area past the end",
         [&] {
             Bytes b = main;
             b.resize(b.size() - 4);
             return b;
         }(),
         kWfsInvalidResource},
        {"chain outside", WithChecksum([&] {
             Bytes b = main;
             v7::PutU32(&b[176], 0x7FFFFFF0);
             return b;
         }()),
         kWfsInvalidResource},
        {"one section only", v7::SectionedResource::Build({Bytes(552, 1)}), kWfsInvalidResource},
        {"weights not floats", v7::SectionedResource::Build({Bytes(552, 1), Bytes(10, 0)}),
         kWfsInvalidResource},
        {"short configuration", v7::SectionedResource::Build({Bytes(100, 1), Bytes(8, 0)}),
         kWfsInvalidResource},
    };
    for (const Row &r : rows) {
        Engine e(r.bytes, &AdditionalResource());
        EXPECT_EQ(e.code, r.code) << r.what;
    }
    Bytes badModel = v7::SectionedResource::Build({Bytes(20, 1), Bytes(64, 7)});
    Engine e(main, &badModel);
    EXPECT_EQ(e.code, kWfsInvalidResource);
    size_t size;
    EXPECT_EQ(iWFS_Engine_GetStackSize(nullptr, 0, nullptr, 0, &size), kWfsBadArgument);
}

TEST(V7Engine, WeightSectionOfTheWrongSizeFailsTheSession) {
    std::vector<float> w = v7res::RandomWeightSection(1);
    w.resize(w.size() - 1);
    const Bytes main = v7res::BuildMainResource(v7res::MainSettings{}, w);
    Engine e(main, nullptr);
    ASSERT_EQ(e.code, 0);
    Session s(e.engine);
    EXPECT_EQ(s.code, kWfsInternal);
}

TEST(V7Engine, KeyedResourcesAreUnscrambledWithoutTouchingTheImage) {
    const Bytes &plain = MainResource();
    const unsigned char *d0;
    uint32_t n0;
    ASSERT_TRUE(v7::SectionedResource::Section(plain.data(), plain.size(), 0, &d0, &n0));
    const unsigned char *d1;
    uint32_t n1;
    ASSERT_TRUE(v7::SectionedResource::Section(plain.data(), plain.size(), 1, &d1, &n1));
    const Bytes keyed =
        v7::SectionedResource::Build({Bytes(d0, d0 + n0), Bytes(d1, d1 + n1)}, "k3y");
    const Bytes before = keyed;
    Engine e(keyed, &AdditionalResource());
    ASSERT_EQ(e.code, 0);
    EXPECT_EQ(keyed, before);
    EXPECT_EQ(std::memcmp(e.engine->main0, d0, n0), 0);
    Session s(e.engine);
    ASSERT_EQ(s.code, 0);
    EXPECT_EQ(s.Recognize(SyntheticLine(3, 1)), 0);
}

TEST(V7Engine, ParameterChecks) {
    Engine e(MainResource(), &AdditionalResource());
    ASSERT_EQ(e.code, 0);
    Session s(e.engine);
    ASSERT_EQ(s.code, 0);
    struct Row {
        int id;
        int32_t value;
        int code;
    } rows[] = {
        {kWfsParam0, 248, 0},
        {kWfsParam0, 249, kWfsNotAllowed},
        {kWfsParam1, -1, kWfsNotAllowed},
        {kWfsParam3, 3, kWfsBadArgument},
        {kWfsCandidates, 32, 0},
        {kWfsCandidates, 33, kWfsBadArgument},
        {kWfsCandidates, 0, kWfsBadArgument},
        {kWfsSplitMode, 6, kWfsBadArgument},
        {kWfsWidth, 2, kWfsBadArgument},
        {kWfsMinChars, 1025, kWfsBadArgument},
        {kWfsChar9, 0, kWfsBadArgument},
        {kWfsWordSpan, 0, kWfsBadArgument},
        {kWfsWordSpan, 2, 0},
        {kWfsWordModelWeight, 0, kWfsBadArgument},
        {99, 0, kWfsBadArgument},
    };
    for (const Row &r : rows)
        EXPECT_EQ(s.Set(r.id, r.value), r.code) << r.id << "=" << r.value;
    // In single-character mode only one character is allowed.
    EXPECT_EQ(s.Set(kWfsSplitMode, 0), 0);
    EXPECT_EQ(s.Set(kWfsMaxChars, 2), kWfsBadArgument);
    EXPECT_EQ(s.Set(kWfsMaxChars, 1), 0);
    EXPECT_EQ(iWFS_Session_SetParam(s.session, kWfsCandidates, nullptr), kWfsBadArgument);
    // A character-set flag the configuration does not enable.
    uint8_t flags[36] = {};
    flags[20] = 1;
    EXPECT_EQ(iWFS_Session_SetParam(s.session, kWfsCharSet, flags), kWfsNotAllowed);
    // Word lists must be valid resources.
    Bytes junk(300, 0);
    iWFS_ResourceRef ref{junk.data(), junk.size()};
    EXPECT_EQ(iWFS_Session_SetParam(s.session, kWfsAllowedWords, &ref), kWfsInvalidResource);
    const Bytes list = v7res::BuildWordListResource({u"cat"});
    ref = {list.data(), list.size()};
    EXPECT_EQ(iWFS_Session_SetParam(s.session, kWfsAllowedWords, &ref), 0);
    ref = {nullptr, 0};
    EXPECT_EQ(iWFS_Session_SetParam(s.session, kWfsAllowedWords, &ref), 0);
}

TEST(V7Engine, RecognitionCodesAndResults) {
    Engine e(MainResource(), &AdditionalResource());
    ASSERT_EQ(e.code, 0);
    Session s(e.engine);
    ASSERT_EQ(s.code, 0);
    EXPECT_EQ(s.Recognize({10, 10, -1, 0, -1, -1}), kWfsBadArgument);  // 3 pairs
    EXPECT_EQ(s.Recognize({5, -3, 6, 6, -1, 0, -1, -1}), kWfsMalformedInk);
    EXPECT_EQ(s.Recognize({5, 5, 6, 6, -1, 0, 7, 7}), kWfsMalformedInk);
    ASSERT_EQ(s.Set(kWfsCandidates, 3), 0);
    ASSERT_EQ(s.Recognize(SyntheticLine(6, 4, 3)), 0);
    ASSERT_GT(s.results.size(), 0u);
    EXPECT_LE(s.results.size(), 3u);
    float sum = 0;
    for (size_t i = 0; i < s.confidences.size(); ++i) {
        sum += s.confidences[i];
        if (i > 0) {
            EXPECT_LE(s.confidences[i], s.confidences[i - 1]);
        }
    }
    EXPECT_NEAR(sum, 1.0f, 1e-5f);
    // Wide forms on request.
    ASSERT_EQ(s.Set(kWfsWidth, 1), 0);
    ASSERT_EQ(s.Recognize(SyntheticLine(6, 4, 3)), 0);
    for (char16_t c : s.results[0]) {
        EXPECT_TRUE(c >= 0xFF21 || c == 0x3000) << static_cast<int>(c);
    }
    // A result function is required.
    const iWFS_ResultFunction none = nullptr;
    iWFS_Session_SetParam(s.session, kWfsResultFunction, &none);
    EXPECT_EQ(s.Recognize(SyntheticLine(2, 4)), kWfsBadArgument);
}

TEST(V7Engine, SameInputSameResults) {
    Engine e(MainResource(), &AdditionalResource());
    Session a(e.engine), b(e.engine);
    ASSERT_EQ(a.code, 0);
    ASSERT_EQ(b.code, 0);
    const std::vector<int32_t> ink = SyntheticLine(8, 9, 4);
    ASSERT_EQ(a.Recognize(ink), 0);
    ASSERT_EQ(b.Recognize(SyntheticLine(3, 2)), 0);
    ASSERT_EQ(b.Recognize(ink), 0);
    EXPECT_EQ(a.results, b.results);
    EXPECT_EQ(a.confidences, b.confidences);
}

}  // namespace

// The resource tool's output scale runs the softmax at a higher temperature: each frame's most
// likely label stays and every other label comes closer to it, so that a trained network's
// runners-up reach the decoder's 0.1 threshold.
TEST(V7Weights, OutputScaleKeepsEveryFramesBestLabelAndBringsTheOthersCloser) {
    const std::vector<float> plain = v7res::RandomWeightSection(7);
    std::vector<float> scaled = plain;
    v7res::ScaleOutputLayer(&scaled, 0.6f);
    for (int i = 0, at = 0; i < v7::kWeightTableSize; at += v7::kWeightTable[i].count, ++i)
        if (!v7::IsWeightsEntry(v7::kWeightTable[i]) ||
            !std::strstr(v7::kWeightTable[i].name, "_to_output"))
            EXPECT_EQ(std::memcmp(&plain[at], &scaled[at], v7::kWeightTable[i].count * 4), 0)
                << v7::kWeightTable[i].name;
    struct Free {
        void operator()(v7::Network *n) const { v7::FreeNetwork(n); }
    };
    std::unique_ptr<v7::Network, Free> a(v7::LoadNetwork(v7::kWeightSectionFloats, plain.data()));
    std::unique_ptr<v7::Network, Free> b(v7::LoadNetwork(v7::kWeightSectionFloats, scaled.data()));
    ASSERT_TRUE(a && b);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-3.0f, 3.0f);
    std::vector<float> frames(60 * v7::kInputSize);
    for (float &x : frames)
        x = u(rng);
    const int n = v7::RunNetwork(a.get(), frames.data(), 60, v7::kInputSize);
    ASSERT_EQ(v7::RunNetwork(b.get(), frames.data(), 60, v7::kInputSize), n);
    const float *pa = v7::OutputProbabilities(a.get(), nullptr);
    const float *pb = v7::OutputProbabilities(b.get(), nullptr);
    for (int t = 0; t < n; ++t) {
        const float *fa = pa + t * v7::kOutputSize, *fb = pb + t * v7::kOutputSize;
        const int best = int(std::max_element(fa, fa + v7::kOutputSize) - fa);
        ASSERT_EQ(std::max_element(fb, fb + v7::kOutputSize) - fb, best) << "frame " << t;
        EXPECT_LT(fb[best], fa[best]) << "frame " << t;
        for (int k = 0; k < v7::kOutputSize; ++k)
            if (k != best)
                EXPECT_GT(fb[k] / fb[best], fa[k] / fa[best]) << "frame " << t << " label " << k;
    }
}
