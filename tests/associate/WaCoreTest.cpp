// The association engine core through its C interface: dictionary validation, session set-up,
// parameters, association ranking and the user-dictionary ring, and a randomised comparison
// with a plain model of the ranking rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>

#include "WaFormat.h"
#include "WaTestEngine.h"

using wadict::Bytes;
using watest::Engine;
using watest::Session;
using Strings = std::vector<std::u16string>;

namespace {

Bytes Dict(const std::vector<wadict::Word> &words, wadict::SystemDictOptions options = {}) {
    return wadict::BuildSystemDict(words, options);
}

void Put32(Bytes &b, size_t at, uint32_t v) {
    std::memcpy(b.data() + at, &v, 4);
}

// Recomputes the checksum after a change to the data.
void Reseal(Bytes &b) {
    uint32_t sum = 0;
    for (size_t i = wa::kHeaderSize; i < b.size(); ++i)
        sum += b[i];
    Put32(b, wa::kOffChecksum, sum);
}

// A raw trie node: keys and links as given.
Bytes RawNode(const std::vector<std::pair<char16_t, int32_t>> &entries) {
    const auto e = static_cast<uint32_t>(entries.size());
    Bytes n(wa::NodeBytes(e), 0);
    Put32(n, 0, e);
    for (uint32_t i = 0; i < e; ++i) {
        std::memcpy(n.data() + 4 + 2 * i, &entries[i].first, 2);
        Put32(n, 4 + wa::KeysBytes(e) + 4 * i, static_cast<uint32_t>(entries[i].second));
    }
    return n;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
int32_t End(uint32_t frequency) {
    return static_cast<int32_t>(0x80000000u | frequency);
}
Bytes WithTrie(const Bytes &trie) {
    return wadict::AssembleSystemDict({wadict::BuildConfigPayload({}), trie}, "");
}

const std::vector<wadict::Word> kSmall = {{u"ab", 5}, {u"ac", 3}, {u"abd", 7}, {u"b", 1}};

// ---------------------------------------------------------------------------------------------

struct DictCase {
    const char *name;
    std::function<Bytes()> make;
    int sizeCode;  // iWWA_GetEngineSize
    int initCode;  // iWWA_Init
};

TEST(WaDictionary, RefusesBrokenSystemDictionaries) {
    const Bytes good = Dict(kSmall);
    const size_t rec0 = wa::kHeaderSize;
    auto edit = [&](std::function<void(Bytes &)> f, bool reseal = true) {
        return [=] {
            Bytes b = good;
            f(b);
            if (reseal)
                Reseal(b);
            return b;
        };
    };
    // A follow-on chain in which every node leads twice to the next: 2^12 paths over 13 nodes.
    auto fanOut = [] {
        std::vector<Bytes> nodes;
        const int depth = 12;
        for (int i = 0; i < depth; ++i) {
            const int32_t next = static_cast<int32_t>((i + 1) * wa::NodeBytes(2));
            nodes.push_back(RawNode({{u'a', next}, {u'b', next}}));
        }
        nodes.push_back(RawNode({{u'z', End(1)}}));
        Bytes t;
        for (const Bytes &n : nodes)
            t.insert(t.end(), n.begin(), n.end());
        return WithTrie(t);
    };
    const Bytes leaf = RawNode({{u'b', End(1)}});
    const std::vector<DictCase> cases = {
        {"valid", [&] { return good; }, iWWA_OK, iWWA_OK},
        {"valid raw trie",
         [&] {
             return WithTrie(Cat({RawNode({{u'a', 12}}), leaf}));
         },
         0, 0},
        {"format number 2", edit([](Bytes &b) { Put32(b, wa::kOffFormat, 2); }), 6, 6},
        {"checksum off by one", edit([](Bytes &b) { b[wa::kOffChecksum] ^= 1; }, false), 6, 6},
        {"data byte changed", edit([](Bytes &b) { b.back() ^= 0x40; }, false), 6, 6},
        {"data length 0", edit([](Bytes &b) { Put32(b, wa::kOffDataLength, 0); }), 6, 6},
        {"data length past the file",
         edit([](Bytes &b) { Put32(b, wa::kOffDataLength, b.size() - wa::kHeaderSize + 4); }), 6,
         6},
        {"file shorter than a header", [] { return Bytes(100, 0); }, 6, 6},
        {"key text without its zero",
         edit([](Bytes &b) { std::memset(b.data() + wa::kOffKey, 'k', wa::kKeyArea); }), 6, 6},
        {"record length 0", edit([&](Bytes &b) { Put32(b, rec0, 0); }), 0, 6},
        {"record length shorter than its head", edit([&](Bytes &b) { Put32(b, rec0, 4); }), 0, 6},
        {"record length past the data", edit([&](Bytes &b) { Put32(b, rec0, 1u << 30); }), 0, 6},
        {"payload longer than its record",
         edit([&](Bytes &b) { Put32(b, rec0 + 4, wa::kConfigSize + 1); }), 0, 6},
        {"trie record missing",
         [] { return wadict::AssembleSystemDict({wadict::BuildConfigPayload({})}, ""); }, 0, 6},
        {"configuration record too short",
         [] {
             return wadict::AssembleSystemDict({Bytes(100, 1), RawNode({})}, "");
         },
         0, 6},
        {"empty trie payload", [] { return WithTrie({}); }, 0, 6},
        {"node offset outside the payload",
         [&] {
             return WithTrie(Cat({RawNode({{u'a', 24}}), leaf}));
         },
         0, 6},
        {"node offset not aligned",
         [&] {
             return WithTrie(Cat({RawNode({{u'a', 14}}), leaf, Bytes(4)}));
         },
         0, 6},
        {"node entries past the payload",
         [] {
             Bytes t = RawNode({{u'a', End(1)}});
             Put32(t, 0, 0x40000000);
             return WithTrie(t);
         },
         0, 6},
        {"node leading to itself",
         [] {
             return WithTrie(Cat({RawNode({{u'a', 12}}), RawNode({{u'b', 12}})}));
         },
         0, 6},
        {"node leading back to the root",
         [] {
             return WithTrie(Cat({RawNode({{u'a', 12}}), RawNode({{u'b', 0}})}));
         },
         0, 6},
        {"shared nodes fanning out", fanOut, 0, 6},
        {"keys out of order",
         [] {
             return WithTrie(RawNode({{u'b', End(1)}, {u'a', End(1)}}));
         },
         0, 6},
        {"key ending two words",
         [] {
             return WithTrie(RawNode({{u'a', End(1)}, {u'a', End(2)}}));
         },
         0, 6},
        {"key standing three times",
         [&] {
             return WithTrie(Cat({RawNode({{u'a', End(1)}, {u'a', 28}, {u'a', End(2)}}), leaf}));
         },
         0, 6},
    };
    for (const DictCase &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes dict = c.make();
        watest::Image image(dict);
        uint32_t size = 0;
        EXPECT_EQ(iWWA_GetEngineSize(image.data(), image.size(), nullptr, 0, &size), c.sizeCode);
        EXPECT_EQ(Engine(dict).code(), c.initCode);
    }
}

TEST(WaDictionary, RefusesBadArguments) {
    const Bytes dict = Dict(kSmall);
    const Bytes user = wadict::BuildUserDict({});
    watest::Image image(dict), userImage(user);
    uint32_t size = 0;
    EXPECT_EQ(iWWA_GetEngineSize(nullptr, 0, nullptr, 0, &size), iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(iWWA_GetEngineSize(image.data(), image.size(), nullptr, 0, nullptr),
              iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(
        iWWA_GetEngineSize(image.data(), image.size(), userImage.data() + 2, user.size(), &size),
        iWWA_ERR_INVALID_ARG);
    // The system dictionary must lie at a 4-byte boundary.
    watest::Block shifted(dict.size() + 8);
    std::copy(dict.begin(), dict.end(), shifted.get() + 1);
    EXPECT_EQ(iWWA_GetEngineSize(shifted.get() + 1, dict.size(), nullptr, 0, &size),
              iWWA_ERR_BAD_DICT);

    ASSERT_EQ(iWWA_GetEngineSize(image.data(), image.size(), nullptr, 0, &size), iWWA_OK);
    watest::Block memory(size + 16);
    iWWA_Engine *engine = nullptr;
    EXPECT_EQ(iWWA_Init(image.data(), image.size(), nullptr, 0, memory.get(), size + 8, &engine),
              iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(iWWA_Init(image.data(), image.size(), nullptr, 0, memory.get(), size, nullptr),
              iWWA_ERR_INVALID_ARG);
    ASSERT_EQ(iWWA_Init(image.data(), image.size(), nullptr, 0, memory.get(), size, &engine),
              iWWA_OK);
    EXPECT_EQ(iWWA_Uninit(&engine), iWWA_OK);
    EXPECT_EQ(engine, nullptr);
    EXPECT_EQ(iWWA_Uninit(&engine), iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(iWWA_Session_GetSize(nullptr, &size), iWWA_ERR_INVALID_ARG);
}

TEST(WaDictionary, KeyedAndPlainGiveTheSameCandidates) {
    std::vector<wadict::Word> words;
    for (char16_t a = u'a'; a <= u'f'; ++a)
        for (char16_t b = u'a'; b <= u'f'; ++b)
            words.push_back({std::u16string{a, b, u'x'}, static_cast<uint32_t>(a * 7 + b)});
    wadict::SystemDictOptions keyed;
    keyed.key = "vra_hwr_associate";
    const Bytes plainBytes = Dict(words), keyedBytes = Dict(words, keyed);
    // The key changes what is stored.
    EXPECT_NE(Bytes(plainBytes.begin() + wa::kHeaderSize, plainBytes.end()),
              Bytes(keyedBytes.begin() + wa::kHeaderSize, keyedBytes.end()));
    Engine plain(plainBytes), scrambled(keyedBytes);
    ASSERT_EQ(plain.code(), iWWA_OK);
    ASSERT_EQ(scrambled.code(), iWWA_OK);
    Session a(plain), b(scrambled);
    for (const std::u16string text : {u"a", u"c", u"fa", u"q"}) {
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        int rcA, rcB;
        EXPECT_EQ(a.Associate(text, true, &rcA), b.Associate(text, true, &rcB));
        EXPECT_EQ(rcA, rcB);
    }
    EXPECT_EQ(a.Associate(u"c", false), (Strings{u"fx", u"ex", u"dx", u"cx", u"bx", u"ax"}));
}

// ---------------------------------------------------------------------------------------------

TEST(WaSession, RefusesBrokenUserDictionariesAndDefaults) {
    struct Case {
        const char *name;
        std::function<void(Bytes &user, Bytes &config)> edit;
        int code;
    };
    const std::vector<Case> cases = {
        {"valid", [](Bytes &, Bytes &) {}, iWWA_OK},
        {"user dictionary one byte short", [](Bytes &u, Bytes &) { u.pop_back(); }, 10},
        {"capacity 1024", [](Bytes &u, Bytes &) { Put32(u, wa::kUserOffCapacity, 1024); }, 10},
        {"entry size 512", [](Bytes &u, Bytes &) { Put32(u, wa::kUserOffEntrySize, 512); }, 10},
        {"stride 516", [](Bytes &u, Bytes &) { Put32(u, wa::kUserOffStride, 516); }, 10},
        {"oldest past the ring", [](Bytes &u, Bytes &) { Put32(u, wa::kUserOffOldest, 2048); }, 10},
        {"empty ring with next 5", [](Bytes &u, Bytes &) { Put32(u, wa::kUserOffNext, 5); }, 10},
        {"empty ring with next 0", [](Bytes &u, Bytes &) { Put32(u, wa::kUserOffNext, 0); }, 0},
        {"words without a next index", [](Bytes &u, Bytes &) { Put32(u, wa::kUserOffOldest, 3); },
         10},
        {"full ring",
         [](Bytes &u, Bytes &) {
             Put32(u, wa::kUserOffOldest, 7);
             Put32(u, wa::kUserOffNext, 7);
         },
         0},
        {"default limit 0", [](Bytes &, Bytes &c) { Put32(c, wa::kCfgDefCandNum, 0); }, 6},
        {"default limit 257", [](Bytes &, Bytes &c) { Put32(c, wa::kCfgDefCandNum, 257); }, 6},
        {"default limit 256", [](Bytes &, Bytes &c) { Put32(c, wa::kCfgDefCandNum, 256); }, 0},
        {"default mode 2", [](Bytes &, Bytes &c) { Put32(c, wa::kCfgDefMode, 2); }, 6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes user = wadict::BuildUserDict({}), config = wadict::BuildConfigPayload({});
        c.edit(user, config);
        const Bytes dict =
            wadict::AssembleSystemDict({config, wadict::BuildTriePayload(kSmall)}, "");
        Engine engine(dict, &user);
        ASSERT_EQ(engine.code(), iWWA_OK);
        EXPECT_EQ(Session(engine).code(), c.code);
    }
}

TEST(WaSession, InitChecksItsArguments) {
    Engine engine(Dict(kSmall));
    ASSERT_EQ(engine.code(), iWWA_OK);
    uint32_t size = 0;
    ASSERT_EQ(iWWA_Session_GetSize(engine.get(), &size), iWWA_OK);
    watest::Block memory(size + 16);
    iWWA_Session *s = nullptr;
    EXPECT_EQ(iWWA_Session_Init(engine.get(), memory.get(), size - 1, &s), iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(iWWA_Session_Init(engine.get(), memory.get(), 0, &s), iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(iWWA_Session_Init(nullptr, memory.get(), size, &s), iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(iWWA_Session_Init(engine.get(), nullptr, size, &s), iWWA_ERR_INVALID_ARG);
    ASSERT_EQ(iWWA_Session_Init(engine.get(), memory.get(), size, &s), iWWA_OK);
    // Without a callback nothing can be delivered.
    const iWWA_Char a[] = {u'a', 0};
    EXPECT_EQ(iWWA_Session_Associate(s, a, 1), iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(iWWA_Session_Associate(nullptr, a, 1), iWWA_ERR_INVALID_ARG);
    // Without a user dictionary there is nothing to adjust or save.
    EXPECT_EQ(iWWA_Session_AdjustWord(s, a), iWWA_ERR_INVALID_ARG);
    const void *block;
    uint32_t length;
    EXPECT_EQ(iWWA_Session_GetUserDict(s, &block, &length), iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(iWWA_Session_Uninit(&s), iWWA_OK);
    EXPECT_EQ(s, nullptr);
}

TEST(WaSession, UninitRefusesADamagedCandidateList) {
    Engine engine(Dict(kSmall));
    uint32_t size = 0;
    iWWA_Session_GetSize(engine.get(), &size);
    watest::Block memory(size);
    iWWA_Session *s = nullptr;
    ASSERT_EQ(iWWA_Session_Init(engine.get(), memory.get(), size, &s), iWWA_OK);
    // The candidate list sits at the end of the block; its fixed fields lead it.
    uint8_t *list = memory.get() + size - sizeof(uint32_t) * 3;
    while (list > memory.get() && std::memcmp(list, "\x00\x01\x00\x00\x01\x01\x00\x00", 8) != 0)
        --list;
    ASSERT_GT(list, memory.get());
    list[0] = 0xff;
    EXPECT_EQ(iWWA_Session_Uninit(&s), iWWA_ERR_BAD_BLOCK);
    EXPECT_NE(s, nullptr);
    list[0] = 0x00;
    EXPECT_EQ(iWWA_Session_Uninit(&s), iWWA_OK);
}

TEST(WaSession, SetParamChecksRangesAndOfferedValues) {
    Bytes config = wadict::BuildConfigPayload({});
    config[wa::kCfgParam0 + 5] = 0;
    config[wa::kCfgParam1 + 183] = 0;
    config[wa::kCfgParam2Mask + 3] = 0;
    config[wa::kCfgParam3 + 2] = 0;
    config[wa::kCfgMode + iWWA_MODE_SINGLE] = 0;
    Engine engine(wadict::AssembleSystemDict({config, wadict::BuildTriePayload(kSmall)}, ""));
    Session s(engine);
    ASSERT_EQ(s.code(), iWWA_OK);
    struct Case {
        int32_t param, value, code;
    };
    const Case cases[] = {
        {0, 0, 0},   {0, 248, 0}, {0, 5, 2}, {0, 249, 1}, {0, -1, 1}, {1, 182, 0}, {1, 183, 2},
        {1, 184, 1}, {3, 1, 0},   {3, 2, 2}, {3, 3, 1},   {4, 1, 0},  {4, 256, 0}, {4, 0, 1},
        {4, 257, 1}, {5, 1, 0},   {5, 0, 2}, {5, 2, 1},   {8, 0, 1},  {-1, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "param " << c.param << " value " << c.value);
        EXPECT_EQ(s.Set(c.param, c.value), c.code);
    }
    uint8_t block[36] = {};
    block[2] = 9;
    EXPECT_EQ(iWWA_Session_SetParam(s.get(), iWWA_PARAM_2, block), iWWA_OK);
    block[3] = 1;
    EXPECT_EQ(iWWA_Session_SetParam(s.get(), iWWA_PARAM_2, block), iWWA_ERR_NOT_OFFERED);
    EXPECT_EQ(iWWA_Session_SetParam(s.get(), iWWA_PARAM_CANDNUM, nullptr), iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(iWWA_Session_SetParam(s.get(), iWWA_PARAM_CALLBACK, nullptr), iWWA_ERR_INVALID_ARG);
}

// ---------------------------------------------------------------------------------------------

TEST(WaAssociate, RanksContinuationsByFrequency) {
    Engine engine(Dict({{u"中国", 129470},
                        {u"中文", 1755},
                        {u"中国人", 610},
                        {u"中心", 2000},
                        {u"今天", 15960},
                        {u"今天下午", 3},
                        {u"下午", 4712}}));
    Session s(engine);
    int rc;
    EXPECT_EQ(s.Associate(u"中", false, &rc), (Strings{u"国", u"心", u"文", u"国人"}));
    EXPECT_EQ(rc, iWWA_OK);
    ASSERT_EQ(s.Set(iWWA_PARAM_MODE, iWWA_MODE_SINGLE), iWWA_OK);
    EXPECT_EQ(s.Associate(u"中", false), (Strings{u"国", u"心", u"文"}));
}

TEST(WaAssociate, EmptyTextFindsNothing) {
    Engine engine(Dict(kSmall));
    Session s(engine);
    int rc;
    EXPECT_TRUE(s.Associate(u"", true, &rc).empty());
    EXPECT_EQ(rc, iWWA_ERR_NO_CANDIDATE);
}

TEST(WaAssociate, NonRecursiveNeedsTheWholeText) {
    Engine engine(Dict({{u"ab", 5}, {u"bc", 3}}));
    Session s(engine);
    int rc;
    EXPECT_TRUE(s.Associate(u"xb", false, &rc).empty());
    EXPECT_EQ(rc, iWWA_ERR_NO_CANDIDATE);
    EXPECT_EQ(s.Associate(u"xb", true, &rc), Strings{u"c"});
    EXPECT_EQ(rc, iWWA_OK);
    // A text that only ends a word has no continuation.
    EXPECT_TRUE(s.Associate(u"ab", false, &rc).empty());
    EXPECT_EQ(rc, iWWA_ERR_NO_CANDIDATE);
}

TEST(WaAssociate, LaterPassesRankBelowEarlierOnes) {
    Engine engine(Dict({{u"abc", 1}, {u"bd", 1000}, {u"be", 2000}}));
    Session s(engine);
    EXPECT_EQ(s.Associate(u"ab", false), Strings{u"c"});
    // The shorter ending's words score below the cap of 1 that the first pass left: both 0.
    EXPECT_EQ(s.Associate(u"ab", true), (Strings{u"c", u"d", u"e"}));
    // Once the first pass fills the candidate limit, no further pass runs.
    ASSERT_EQ(s.Set(iWWA_PARAM_CANDNUM, 1), iWWA_OK);
    EXPECT_EQ(s.Associate(u"ab", true), Strings{u"c"});
}

TEST(WaAssociate, ZeroScoreDoesNotWrapTheCap) {
    Engine engine(Dict({{u"abc", 0}, {u"bd", 50}}));
    Session s(engine);
    EXPECT_EQ(s.Associate(u"ab", true), (Strings{u"c", u"d"}));
}

TEST(WaAssociate, SingleModeMergesFirstCharactersWithTheHigherScore) {
    Engine engine(Dict({{u"abx", 5}, {u"aby", 9}, {u"ac", 7}}));
    Session s(engine);
    ASSERT_EQ(s.Set(iWWA_PARAM_MODE, iWWA_MODE_SINGLE), iWWA_OK);
    EXPECT_EQ(s.Associate(u"a", false), (Strings{u"b", u"c"}));
    ASSERT_EQ(s.Set(iWWA_PARAM_MODE, iWWA_MODE_MULTI), iWWA_OK);
    EXPECT_EQ(s.Associate(u"a", false), (Strings{u"by", u"c", u"bx"}));
}

TEST(WaAssociate, SingleModeKeepsSurrogatePairsWhole) {
    // U+20BB7 and U+20BB8 share their high surrogate: they are two characters, not one.
    Engine engine(Dict({{u"a\U00020BB7x", 1}, {u"a\U00020BB8y", 2}, {u"a\U00020BB7z", 3}}));
    Session s(engine);
    ASSERT_EQ(s.Set(iWWA_PARAM_MODE, iWWA_MODE_SINGLE), iWWA_OK);
    EXPECT_EQ(s.Associate(u"a", false), (Strings{u"\U00020BB7", u"\U00020BB8"}));
}

TEST(WaAssociate, CandidateLimitCapsDelivery) {
    // Frequencies rise in walk order, so that every continuation past the 256th evicts the
    // lowest entry.
    const uint32_t n = 3000;
    std::vector<wadict::Word> words;
    for (uint32_t i = 0; i < n; ++i)
        words.push_back({std::u16string{u'a', static_cast<char16_t>(0x4e00 + i)}, i});
    Engine engine(Dict(words));
    Session s(engine);
    ASSERT_EQ(s.Set(iWWA_PARAM_CANDNUM, 5), iWWA_OK);
    const Strings got = s.Associate(u"a", false);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got.front(), std::u16string(1, 0x4e00 + n - 1));
    EXPECT_EQ(got.back(), std::u16string(1, 0x4e00 + n - 5));
    // The list holds 256 at most: the 256 most frequent.
    ASSERT_EQ(s.Set(iWWA_PARAM_CANDNUM, 256), iWWA_OK);
    const Strings all = s.Associate(u"a", false);
    ASSERT_EQ(all.size(), 256u);
    EXPECT_EQ(all.back(), std::u16string(1, 0x4e00 + n - 256));
}

TEST(WaAssociate, WalkStopsAt256Units) {
    const std::u16string fits = u"a" + std::u16string(256, u'b');
    const std::u16string tooLong = u"c" + std::u16string(257, u'b');
    Engine engine(Dict({{fits, 1}, {tooLong, 1}}));
    Session s(engine);
    EXPECT_EQ(s.Associate(u"a", false), Strings{std::u16string(256, u'b')});
    int rc;
    EXPECT_TRUE(s.Associate(u"c", false, &rc).empty());
    EXPECT_EQ(rc, iWWA_ERR_NO_CANDIDATE);
}

TEST(WaAssociate, LongTextsStayBounded) {
    Engine engine(Dict(kSmall));
    Session s(engine);
    const std::u16string text = std::u16string(5000, u'q') + u"a";
    EXPECT_EQ(s.Associate(text, true), (Strings{u"bd", u"b", u"c"}));
}

// ---------------------------------------------------------------------------------------------

TEST(WaAdjust, AdjustedWordOutranksTrie) {
    const Bytes user = wadict::BuildUserDict({});
    Engine engine(Dict({{u"ac", 0x7fffffff}, {u"ad", 5}}), &user);
    Session s(engine);
    ASSERT_EQ(s.Adjust(u"ab"), iWWA_OK);
    ASSERT_EQ(s.Adjust(u"ae"), iWWA_OK);
    // The newest learnt word first, then the older one, then the trie.
    EXPECT_EQ(s.Associate(u"a", false), (Strings{u"e", u"b", u"c", u"d"}));
    // A learnt word that is also in the trie keeps the learnt rank.
    ASSERT_EQ(s.Adjust(u"ad"), iWWA_OK);
    EXPECT_EQ(s.Associate(u"a", false), (Strings{u"d", u"e", u"b", u"c"}));
}

TEST(WaAdjust, RingOverwritesOldestAndKeepsKnownWords) {
    const Bytes empty = wadict::BuildUserDict({});
    Engine engine(Dict(kSmall), &empty);
    Session s(engine);
    auto word = [](uint32_t i) {
        return std::u16string{u'x', static_cast<char16_t>(0x4e00 + i / 64),
                              static_cast<char16_t>(0x4e00 + i % 64)};
    };
    for (uint32_t i = 0; i < 2048; ++i)
        ASSERT_EQ(s.Adjust(word(i)), iWWA_OK);
    Bytes image = s.UserDict();
    EXPECT_EQ(wa::LoadI32(image.data() + wa::kUserOffOldest), 0);
    EXPECT_EQ(wa::LoadI32(image.data() + wa::kUserOffNext), 0);  // full
    // A word already held changes nothing, wherever it stands.
    ASSERT_EQ(s.Adjust(word(0)), iWWA_OK);
    ASSERT_EQ(s.Adjust(word(1000)), iWWA_OK);
    EXPECT_EQ(s.UserDict(), image);
    // The 2049th distinct word takes the oldest word's slot.
    ASSERT_EQ(s.Adjust(u"xyz"), iWWA_OK);
    image = s.UserDict();
    EXPECT_EQ(wa::LoadI32(image.data() + wa::kUserOffOldest), 1);
    EXPECT_EQ(wa::LoadI32(image.data() + wa::kUserOffNext), 1);
    EXPECT_EQ(s.Associate(u"xy", false), Strings{u"z"});
    ASSERT_EQ(s.Set(iWWA_PARAM_CANDNUM, 256), iWWA_OK);
    const Strings got = s.Associate(word(0).substr(0, 2), false);
    EXPECT_EQ(std::find(got.begin(), got.end(), word(0).substr(2)), got.end());
    EXPECT_EQ(got.front(), word(63).substr(2));  // the newest word of that start
    // The engine's own image never changes.
    Session fresh(engine);
    EXPECT_EQ(fresh.UserDict(), empty);
}

TEST(WaAdjust, WordLengthLimits) {
    const Bytes user = wadict::BuildUserDict({});
    Engine engine(Dict(kSmall), &user);
    Session s(engine);
    EXPECT_EQ(s.Adjust(u""), iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(s.Adjust(std::u16string(257, u'w')), iWWA_ERR_INVALID_ARG);
    EXPECT_EQ(s.Adjust(std::u16string(256, u'w')), iWWA_OK);
    EXPECT_EQ(s.Associate(u"w", false), Strings{std::u16string(255, u'w')});
    EXPECT_EQ(iWWA_Session_AdjustWord(s.get(), nullptr), iWWA_ERR_INVALID_ARG);
}

TEST(WaAdjust, SessionsKeepPrivateCopies) {
    const Bytes user = wadict::BuildUserDict({u"ab"});
    Engine engine(Dict({}), &user);
    Session a(engine), b(engine);
    ASSERT_EQ(a.Adjust(u"ac"), iWWA_OK);
    EXPECT_EQ(a.Associate(u"a", false), (Strings{u"c", u"b"}));
    EXPECT_EQ(b.Associate(u"a", false), Strings{u"b"});
}

// ---------------------------------------------------------------------------------------------
// A plain model of association, written from the ranking rules without regard to speed: a
// linear list, a linear search for the same candidate and a full selection sort after every
// change. The engine must agree with it on every input.

class Model {
  public:
    std::map<std::u16string, uint32_t> words;  // lexicographic = the trie's depth-first order
    std::vector<std::u16string> ring;          // oldest first
    uint32_t mode = iWWA_MODE_MULTI, limit = 16;

    void Adjust(const std::u16string &w) {
        if (std::find(ring.begin(), ring.end(), w) != ring.end())
            return;
        ring.push_back(w);
        if (ring.size() > 2048)
            ring.erase(ring.begin());
    }

    Strings Associate(const std::u16string &text, bool recursive) {
        list_.clear();
        uint32_t cap = 0xffffffffu;
        for (size_t j = 0; j < text.size(); ++j) {
            if (j > 0 && !recursive)
                break;
            const std::u16string ending = text.substr(j);
            const size_t m = ending.size();
            uint32_t min = cap;
            const uint32_t w = static_cast<uint32_t>(ring.size());
            for (uint32_t k = 0; k < w; ++k) {
                const std::u16string &word = ring[k];
                if (word.size() <= m || word.compare(0, m, ending) != 0)
                    continue;
                const uint32_t score = cap > w - k ? cap - (w - k) : 0;
                min = std::min(min, score);
                Insert(word.substr(m), score);
            }
            for (const auto &[word, f] : words) {
                if (word.size() <= m || word.compare(0, m, ending) != 0 || word.size() - m > 256)
                    continue;
                const uint32_t score = f >= cap ? (cap > 0 ? cap - 1 : 0) : f;
                min = std::min(min, score);
                Insert(word.substr(m), score);
            }
            if (list_.size() >= limit)
                break;
            cap = min;
        }
        Strings out;
        for (size_t r = 0; r < list_.size() && r < limit; ++r)
            out.push_back(mode == iWWA_MODE_MULTI ? list_[r].text : list_[r].text.substr(0, 1));
        return out;
    }

  private:
    struct Candidate {
        std::u16string text;
        uint32_t score;
    };
    bool Same(const std::u16string &a, const std::u16string &b) const {
        return mode == iWWA_MODE_MULTI ? a == b : a[0] == b[0];
    }
    void Insert(const std::u16string &text, uint32_t s) {
        for (Candidate &c : list_) {
            if (!Same(c.text, text))
                continue;
            if (s <= c.score)
                return;
            c.score = s;
            Sort();
            return;
        }
        if (list_.size() < 256) {
            list_.push_back({text, s});
        } else if (s > list_.back().score) {
            list_.back() = {text, s};
        } else {
            return;
        }
        Sort();
    }
    void Sort() {
        for (size_t i = 0; i < list_.size(); ++i) {
            size_t best = i;
            for (size_t j = i + 1; j < list_.size(); ++j)
                if (list_[j].score > list_[best].score)
                    best = j;
            std::swap(list_[i], list_[best]);
        }
    }
    std::vector<Candidate> list_;
};

TEST(WaAssociate, MatchesThePlainModel) {
    std::mt19937 rng(20240611);
    const std::u16string alphabet = u"abcd";
    auto randomWord = [&](size_t maxLength) {
        std::u16string w(1 + rng() % maxLength, u'a');
        for (char16_t &c : w)
            c = alphabet[rng() % alphabet.size()];
        return w;
    };
    const uint32_t frequencies[] = {0, 1, 1, 2, 3, 3, 3, 7, 1000, 0x7fffffff};
    // Most rounds keep the continuations of a text under the list's 256 entries; a few
    // has far more, so that entries are evicted and walks into an empty list skip the low ones.
    for (int round = 0; round < 60; ++round) {
        const bool big = round % 15 == 14;
        Model model;
        const size_t wordCount = big ? 1500 + rng() % 1000 : rng() % 700;
        for (size_t i = 0; i < wordCount; ++i) {
            const std::u16string w = randomWord(6);
            const uint32_t f = frequencies[rng() % std::size(frequencies)];
            auto [it, fresh] = model.words.emplace(w, f);
            if (!fresh)
                it->second = std::max(it->second, f);
        }
        std::vector<wadict::Word> words;
        for (const auto &[w, f] : model.words)
            words.push_back({w, f});
        for (size_t i = rng() % 40; i > 0; --i)
            model.Adjust(randomWord(4));
        const Bytes user = wadict::BuildUserDict(model.ring);
        Engine engine(Dict(words), &user);
        ASSERT_EQ(engine.code(), iWWA_OK);
        Session s(engine);
        ASSERT_EQ(s.code(), iWWA_OK);
        for (int q = 0; q < (big ? 5 : 20); ++q) {
            if (rng() % 4 == 0) {
                const std::u16string w = randomWord(4);
                model.Adjust(w);
                ASSERT_EQ(s.Adjust(w), iWWA_OK);
            }
            model.mode = rng() % 2;
            model.limit = rng() % 3 == 0 ? 256 : 1 + rng() % 20;
            ASSERT_EQ(s.Set(iWWA_PARAM_MODE, static_cast<int32_t>(model.mode)), iWWA_OK);
            ASSERT_EQ(s.Set(iWWA_PARAM_CANDNUM, static_cast<int32_t>(model.limit)), iWWA_OK);
            const std::u16string text = randomWord(3);
            const bool recursive = rng() % 2;
            SCOPED_TRACE(testing::Message()
                         << "round " << round << " query " << q << " text "
                         << std::string(text.begin(), text.end()) << " mode " << model.mode
                         << " limit " << model.limit << " recursive " << recursive);
            int rc;
            const Strings expected = model.Associate(text, recursive);
            ASSERT_EQ(s.Associate(text, recursive, &rc), expected);
            EXPECT_EQ(rc, expected.empty() ? iWWA_ERR_NO_CANDIDATE : iWWA_OK);
        }
    }
}

}  // namespace
