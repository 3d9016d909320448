// The V7 decoder: frame candidates and their costs, the collapse, the N-best list and its
// confidences, width forms, the word model and both passes of the beam search.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CollapseLabels.h"
#include "FrameCandidates.h"
#include "LatticeSearch.h"
#include "NBestList.h"
#include "NetworkDescription.h"
#include "WidthPairs.h"
#include "WordModel.h"

using namespace v7;

namespace {

int LabelIndex(char c) {
    for (int k = 0; k < kOutputSize; ++k)
        if (LabelText(k)[0] == c && k != kBlankIndex)
            return k;
    return kBlankIndex;
}

// Frames given as lists of (label, probability); ' ' is the blank.
std::vector<float> Frames(const std::vector<std::vector<std::pair<char, float>>> &frames) {
    std::vector<float> p(frames.size() * kOutputSize, 0.0f);
    for (size_t t = 0; t < frames.size(); ++t)
        for (auto [c, prob] : frames[t])
            p[t * kOutputSize + (c == ' ' ? kBlankIndex : LabelIndex(c))] = prob;
    return p;
}

std::u16string U(const std::string &s) {
    return std::u16string(s.begin(), s.end());
}

TEST(FrameCandidates, OffersLabelsAboveOneTenthInLabelOrder) {
    const std::vector<float> p = Frames(
        {{{'A', 0.5f}, {'b', 0.2f}, {' ', 0.3f}}, {{'C', 0.1f}, {'*', 0.45f}, {'d', 0.45f}}});
    uint16_t chars[54], costs[54];
    ASSERT_EQ(FrameCandidates(p.data(), 2, 0, nullptr, chars, costs, 54), 3);
    EXPECT_EQ(chars[0], u'A');
    EXPECT_EQ(costs[0], 32767);
    EXPECT_EQ(chars[1], u'b');
    EXPECT_EQ(costs[1], 52427);
    EXPECT_EQ(chars[2], u' ');
    EXPECT_EQ(costs[2], 45874);
    // Exactly 0.1 is not offered; "*" is a space.
    ASSERT_EQ(FrameCandidates(p.data(), 2, 1, nullptr, chars, costs, 54), 2);
    EXPECT_EQ(chars[0], u' ');
    EXPECT_EQ(chars[1], u'd');
    uint8_t allowed[256] = {};
    allowed['b'] = 1;
    ASSERT_EQ(FrameCandidates(p.data(), 2, 0, allowed, chars, costs, 54), 2);
    EXPECT_EQ(chars[0], u'b');
    EXPECT_EQ(chars[1], u' ');
    EXPECT_EQ(FrameCandidates(p.data(), 2, 0, nullptr, chars, costs, 1), 1);
    EXPECT_EQ(FrameCandidates(p.data(), 2, 2, nullptr, chars, costs, 54), 0);
}

TEST(CollapseLabels, MergesRepeatsNotSeparatedBySpaces) {
    struct Row {
        std::u16string in;
        std::vector<uint16_t> costs;
        std::u16string out;
        std::vector<uint16_t> outCosts;
    } rows[] = {
        {u"AA A", {5, 3, 9, 7}, u"AA", {3, 7}}, {u"A  A", {5, 1, 1, 7}, u"AA", {5, 7}},
        {u"AAA", {5, 2, 9}, u"A", {2}},         {u" AbB ", {1, 4, 5, 6, 1}, u"AbB", {4, 5, 6}},
        {u"   ", {1, 1, 1}, u"", {}},
    };
    for (const Row &r : rows) {
        std::vector<uint16_t> in(r.in.begin(), r.in.end());
        in.push_back(0);
        std::vector<uint16_t> costs = r.costs;
        costs.push_back(0);
        uint16_t out[16], outCosts[16];
        const int n = CollapseLabels(in.data(), costs.data(), out, outCosts, 16);
        EXPECT_EQ(std::u16string(out, out + n), r.out);
        EXPECT_EQ(std::vector<uint16_t>(outCosts, outCosts + n), r.outCosts);
    }
}

TEST(NBestList, MergesTextsAndKeepsTheBest) {
    auto list = std::make_unique<NBestList>();
    list->Reset();
    const std::u16string a = u"ab", b = u"cd";
    list->Add(reinterpret_cast<const uint16_t *>(a.data()), 2, 300);
    list->Add(reinterpret_cast<const uint16_t *>(b.data()), 2, 200);
    list->Add(reinterpret_cast<const uint16_t *>(a.data()), 2, 100);  // same text, better
    list->Add(reinterpret_cast<const uint16_t *>(b.data()), 2, 250);  // same text, worse
    ASSERT_EQ(list->count(), 2);
    int n;
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(list->Text(0, &n)), 2), a);
    EXPECT_EQ(list->Score(0), 100u);
    EXPECT_EQ(list->Score(1), 200u);
    // A full list takes only better entries, in place of the worst.
    for (int i = 0; i < NBestList::kCapacity; ++i) {
        const uint16_t t[2] = {static_cast<uint16_t>('x'), static_cast<uint16_t>(i)};
        list->Add(t, 2, 1000 + i);
    }
    EXPECT_EQ(list->count(), NBestList::kCapacity);
    const uint16_t better[1] = {'z'};
    list->Add(better, 1, 150);
    EXPECT_EQ(list->Score(1), 150u);
    EXPECT_EQ(list->Score(NBestList::kCapacity - 1), 1000u + NBestList::kCapacity - 4);
}

TEST(Confidences, FollowTheScoreDistances) {
    struct Row {
        std::vector<uint32_t> scores;
        std::vector<float> want;
    } rows[] = {
        {{100, 200, 200}, {0.576f, 0.212f, 0.212f}}, {{7, 7}, {0.5f, 0.5f}}, {{50}, {1.0f}}};
    for (const Row &r : rows) {
        std::vector<float> out(r.scores.size());
        Confidences(r.scores.data(), static_cast<int>(r.scores.size()), out.data());
        for (size_t i = 0; i < out.size(); ++i)
            EXPECT_NEAR(out[i], r.want[i], 0.001f);
    }
}

TEST(WidthPairs, ConvertBothWays) {
    EXPECT_EQ(ToWide(u'a'), 0xFF41);
    EXPECT_EQ(ToWide(u'b'), 0xFF42);
    EXPECT_EQ(ToWide(u' '), 0x3000);
    EXPECT_EQ(ToWide(0xFF71), 0x30A2);
    EXPECT_EQ(ToNarrow(0x30A2), 0xFF71);
    EXPECT_EQ(ToNarrow(0xFF01), u'!');
    EXPECT_EQ(ToNarrow(0x3131), 0xFFA1);
    EXPECT_EQ(ToNarrow(u'a'), u'a');
    for (int i = 1; i < kWidthPairCount; ++i)
        EXPECT_LT(kWidthPairs[i - 1].narrow, kWidthPairs[i].narrow);
}

// A small word model: unigram costs per word, and a few bigrams.
struct SmallModel {
    std::vector<std::u16string> words;
    std::vector<unsigned char> bytes;
    WordModel model;

    SmallModel(std::vector<std::string> ws, std::vector<uint8_t> unigram,
               std::vector<std::pair<std::pair<std::string, std::string>, uint8_t>> bigrams = {},
               std::vector<std::pair<std::string, uint8_t>> backoffs = {}) {
        for (auto &w : ws)
            words.push_back(U(w));
        std::vector<std::u16string> sorted = words;
        std::sort(sorted.begin(), sorted.end());
        auto token = [&](const std::string &w) -> uint32_t {
            if (w == "<s>")
                return kSentenceStart;
            if (w == "</s>")
                return kSentenceEnd;
            return kFirstWordToken +
                   static_cast<uint32_t>(std::lower_bound(sorted.begin(), sorted.end(), U(w)) -
                                         sorted.begin());
        };
        std::vector<NgramEntry> ngrams;
        for (size_t i = 0; i < ws.size(); ++i)
            ngrams.push_back({{token(ws[i])}, unigram[i], 0});
        ngrams.push_back({{kSentenceEnd}, 0, 0});
        ngrams.push_back({{kSentenceStart}, 0, 0});
        ngrams.push_back({{kUnknownWord}, 200, 0});
        for (auto &[w, bo] : backoffs)
            for (auto &e : ngrams)
                if (e.tokens == std::vector<uint32_t>{token(w)})
                    e.backoff = bo;
        for (auto &[pair, cost] : bigrams)
            ngrams.push_back({{token(pair.first), token(pair.second)}, cost, 0});
        bytes = BuildWordModel(sorted, 2, true, ngrams);
        EXPECT_TRUE(model.Open(bytes.data(), bytes.size()));
    }
};

TEST(WordModel, BacksOffToLowerOrders) {
    SmallModel m({"cat", "car", "cart", "a"}, {10, 20, 30, 5}, {{{"a", "cat"}, 3}}, {{"a", 7}});
    const WordModel &wm = m.model;
    auto tok = [&](const char *w) {
        std::u16string s = U(w);
        return wm.Token(reinterpret_cast<const uint16_t *>(s.data()), static_cast<int>(s.size()));
    };
    uint32_t ctx[1] = {tok("a")}, cost = 0;
    ASSERT_TRUE(wm.Cost(ctx, 1, tok("cat"), &cost));
    EXPECT_EQ(cost, 3u);  // stored bigram
    ASSERT_TRUE(wm.Cost(ctx, 1, tok("car"), &cost));
    EXPECT_EQ(cost, 27u);  // back-off 7 + unigram 20
    uint32_t start[1] = {kSentenceStart};
    ASSERT_TRUE(wm.Cost(start, 1, tok("car"), &cost));
    EXPECT_EQ(cost, 20u);  // no bigram, no back-off
    EXPECT_EQ(tok("dog"), kUnknownWord);
    ASSERT_TRUE(wm.Cost(start, 1, kUnknownWord, &cost));
    EXPECT_EQ(cost, 200u);
    // Completions of "ca" after "a": cat (3 stored) beats car and cart by back-off.
    std::u16string ca = u"ca";
    uint32_t lo, hi;
    wm.words().PrefixRange(reinterpret_cast<const uint16_t *>(ca.data()), 2, &lo, &hi);
    EXPECT_EQ(hi - lo, 3u);
    ASSERT_TRUE(wm.CompletionCost(ctx, 1, lo, hi, &cost));
    EXPECT_EQ(cost, 3u);
    ASSERT_TRUE(wm.CompletionCost(start, 1, lo, hi, &cost));
    EXPECT_EQ(cost, 10u);
}

TEST(WordModel, RefusesDamagedBytes) {
    SmallModel m({"cat", "car"}, {1, 2});
    WordModel wm;
    for (size_t cut : {size_t(0), size_t(10), m.bytes.size() / 2})
        EXPECT_FALSE(wm.Open(m.bytes.data(), cut)) << cut;
    std::vector<unsigned char> bad = m.bytes;
    bad[8] = 12;  // order beyond 9
    EXPECT_FALSE(wm.Open(bad.data(), bad.size()));
    std::vector<unsigned char> list = BuildWordList({u"b", u"a"});
    WordList wl;
    ASSERT_TRUE(wl.Open(list.data(), list.size()));
    std::swap(list[28], list[30]);  // "a" and "b" swapped: out of order
    EXPECT_FALSE(wl.Open(list.data(), list.size()));
}

// A searcher over frames of probabilities, as the character pass runs it.
struct FrameSource {
    const float *probs;
    int frames;
    static int Offer(void *ctx, int, int, uint16_t, int start, int, uint16_t *chars,
                     uint16_t *costs, int capacity) {
        auto *s = static_cast<FrameSource *>(ctx);
        return FrameCandidates(s->probs, s->frames, start, nullptr, chars, costs, capacity);
    }
};

struct Searcher {
    std::vector<uint64_t> memory;
    LatticeSearch *search = nullptr;
    explicit Searcher(const LatticeSearchConfig &c) {
        const size_t size = LatticeSearch::MemorySize(c.capacity, c.beam, c.maxLength);
        memory.resize((size + 7) / 8);
        search = LatticeSearch::Create(memory.data(), size, c);
    }
    std::u16string Text(int i, bool spaces, uint32_t *score = nullptr, bool wide = false) {
        uint16_t t[256];
        const int n = search->PathText(i, spaces, wide, !wide, t, 256, score, nullptr);
        return std::u16string(t, t + n);
    }
};

TEST(LatticeSearch, CharacterPassKeepsTheLowestMeanCost) {
    const std::vector<float> p = Frames({{{'A', 0.9f}, {' ', 0.05f}}, {{'A', 0.6f}, {'b', 0.3f}}});
    FrameSource src{p.data(), 2};
    LatticeSearchConfig c;
    c.capacity = 32;
    c.beam = 4;
    c.maxLength = 16;
    c.source = FrameSource::Offer;
    c.sourceContext = &src;
    Searcher s(c);
    ASSERT_TRUE(s.search);
    ASSERT_EQ(s.search->Run(2, 0), 2);
    uint32_t score;
    EXPECT_EQ(s.Text(0, false, &score), u"AA");
    EXPECT_EQ(score, (6553u + 26213u) / 2);  // 1 − 0.6f is just below 0.4
    EXPECT_EQ(s.Text(1, false, &score), u"Ab");
    EXPECT_EQ(score, (6553u + 45874u) / 2);
    // Mode 2 continues the same paths over frames appended since.
    const std::vector<float> more =
        Frames({{{'A', 0.9f}, {' ', 0.05f}}, {{'A', 0.6f}, {'b', 0.3f}}, {{'c', 0.95f}}});
    src = {more.data(), 3};
    ASSERT_EQ(s.search->Run(3, 2), 2);
    EXPECT_EQ(s.Text(0, false), u"AAc");
    // A frame with nothing above 0.1 blocks every path.
    const std::vector<float> flat = Frames({{{'A', 0.9f}}, {{'A', 0.05f}}});
    src = {flat.data(), 2};
    EXPECT_EQ(s.search->Run(2, 0), 0);
}

TEST(LatticeSearch, RefusesBadMemoryOrConfiguration) {
    LatticeSearchConfig c;
    c.capacity = 4;
    c.beam = 2;
    c.maxLength = 8;
    c.source = FrameSource::Offer;
    const size_t size = LatticeSearch::MemorySize(4, 2, 8);
    std::vector<uint64_t> mem(size / 8 + 2);
    EXPECT_EQ(LatticeSearch::Create(mem.data(), size + 8, c), nullptr);
    EXPECT_EQ(LatticeSearch::Create(reinterpret_cast<char *>(mem.data()) + 2, size, c), nullptr);
    LatticeSearchConfig zero = c;
    zero.beam = 0;
    EXPECT_EQ(LatticeSearch::Create(mem.data(), LatticeSearch::MemorySize(4, 0, 8), zero), nullptr);
    LatticeSearch *s = LatticeSearch::Create(mem.data(), size, c);
    ASSERT_NE(s, nullptr);
    LatticeSearchConfig other = c;
    other.beam = 3;
    EXPECT_FALSE(s->Update(other));
    other = c;
    other.maxChars = 2;
    other.minChars = 3;
    EXPECT_FALSE(s->Update(other));
}

// The word pass: one candidate per position, the collapsed character with its cost.
struct StringSource {
    std::u16string text;
    std::vector<uint16_t> costs;
    static int Offer(void *ctx, int, int, uint16_t, int start, int, uint16_t *chars,
                     uint16_t *costs, int) {
        auto *s = static_cast<StringSource *>(ctx);
        chars[0] = s->text[start];
        costs[0] = s->costs[start];
        return 1;
    }
};

LatticeSearchConfig WordPass(StringSource *src, const WordModel *model) {
    LatticeSearchConfig c;
    c.capacity = 32;
    c.beam = 16;
    c.maxLength = 64;
    c.source = StringSource::Offer;
    c.sourceContext = src;
    c.wordModel = model;
    c.order = 2;
    c.wordModelWeight = 100;
    return c;
}

TEST(LatticeSearch, WordPassSplitsIntoWordsOfTheModel) {
    SmallModel m({"cat", "car", "cart", "a", "at"}, {10, 20, 30, 5, 40});
    StringSource src{u"catcar", std::vector<uint16_t>(6, 1000)};
    Searcher s(WordPass(&src, &m.model));
    ASSERT_TRUE(s.search);
    ASSERT_GT(s.search->Run(6, 0), 0);
    uint32_t score;
    EXPECT_EQ(s.Text(0, true, &score), u"cat car");
    // Mean cost 1000 plus the word costs 10 + 20 and the sentence end 0, times 100.
    EXPECT_EQ(score, 1000u + 100u * 30u);
    EXPECT_EQ(s.Text(0, true, nullptr, true), u"\uFF43\uFF41\uFF54\u3000\uFF43\uFF41\uFF52");
}

TEST(LatticeSearch, AcceptanceListsAndLimits) {
    SmallModel m({"cat", "car", "cart", "a", "at", "c"}, {10, 20, 30, 5, 40, 90});
    std::vector<unsigned char> forbid = BuildWordList({u"cat"});
    std::vector<unsigned char> allow = BuildWordList({u"c", u"a", u"at", u"cart"});
    WordList forbidden, allowed;
    ASSERT_TRUE(forbidden.Open(forbid.data(), forbid.size()));
    ASSERT_TRUE(allowed.Open(allow.data(), allow.size()));
    struct Row {
        const char *what;
        void (*set)(LatticeSearchConfig &, const WordList *, const WordList *);
        std::u16string want;
    } rows[] = {
        {"none", [](LatticeSearchConfig &, const WordList *, const WordList *) {}, u"cat"},
        // The forbidden list judges the whole string, however it is split.
        {"forbidden",
         [](LatticeSearchConfig &c, const WordList *f, const WordList *) { c.forbiddenList = f; },
         u""},
        {"excluded",
         [](LatticeSearchConfig &c, const WordList *f, const WordList *) { c.excludedWords = f; },
         u"c at"},
        {"allowed",
         [](LatticeSearchConfig &c, const WordList *, const WordList *a) { c.allowedWords = a; },
         u"c at"},
        {"at least 4",
         [](LatticeSearchConfig &c, const WordList *, const WordList *) { c.minChars = 4; }, u""},
    };
    for (const Row &r : rows) {
        StringSource src{u"cat", std::vector<uint16_t>(3, 500)};
        LatticeSearchConfig c = WordPass(&src, &m.model);
        r.set(c, &forbidden, &allowed);
        Searcher s(c);
        ASSERT_TRUE(s.search);
        const int n = s.search->Run(3, 0);
        EXPECT_EQ(n > 0 ? s.Text(0, true) : u"", r.want) << r.what;
    }
}

TEST(LatticeSearch, WithoutAWordModelKeepsEveryCharacter) {
    StringSource src{u"xyz", {1, 2, 3}};
    LatticeSearchConfig c = WordPass(&src, nullptr);
    c.wordModel = nullptr;
    c.order = 0;
    Searcher s(c);
    ASSERT_EQ(s.search->Run(3, 0), 1);
    uint32_t score;
    EXPECT_EQ(s.Text(0, true, &score), u"xyz");
    EXPECT_EQ(score, 2u);
}

}  // namespace
