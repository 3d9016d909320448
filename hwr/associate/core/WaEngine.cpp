// The iWWA_ calls: engine and session lifetime, parameters, association and adjustment.
#include <cstddef>
#include <cstring>

#include "WaCandidateList.h"
#include "WaFormat.h"
#include "WaSystemDict.h"
#include "WaTrie.h"
#include "WaUserDict.h"
#include "iWWA.h"

using namespace wa;

struct iWWA_Engine {
    uint32_t magic;
    uint32_t configLength;
    uint32_t trieLength;
    uint32_t userLength;
    uint8_t *system;
    const uint8_t *user;
    const uint8_t *config;
    const uint8_t *trie;
};

struct iWWA_Session {
    uint32_t magic;
    int32_t param0;
    int32_t param1;
    int32_t param3;
    uint8_t param2[kParam2Bytes];
    uint32_t candLimit;
    uint32_t mode;
    const iWWA_Engine *engine;
    iWWA_ResultFunc callback;
    void *user;
    uint8_t *userDict;  // the session's copy, or null
    CandidateList *list;
    iWWA_Char text[kUserEntryUnits];
};

namespace {

constexpr uint32_t kEngineMagic = 0x57414531;   // "WAE1"
constexpr uint32_t kSessionMagic = 0x57415331;  // "WAS1"
constexpr uint32_t kScoreCap = 0xffffffffu;

constexpr uint32_t Align(uint32_t n) {
    return (n + 15u) & ~15u;
}
constexpr uint32_t kSessionHead = Align(sizeof(iWWA_Session));
constexpr uint32_t kListSize = Align(sizeof(CandidateList));

bool Aligned(const void *p, size_t a) {
    return reinterpret_cast<uintptr_t>(p) % a == 0;
}

bool ValidEngine(const iWWA_Engine *e) {
    return e != nullptr && e->magic == kEngineMagic;
}
bool ValidSession(const iWWA_Session *s) {
    return s != nullptr && s->magic == kSessionMagic && ValidEngine(s->engine);
}

int CheckDictionaries(void *sysDict, uint32_t sysLen, const void *userDict) {
    if (sysDict == nullptr || (userDict != nullptr && !Aligned(userDict, 4)))
        return iWWA_ERR_INVALID_ARG;
    if (!CheckSystemHeader(static_cast<const uint8_t *>(sysDict), sysLen))
        return iWWA_ERR_BAD_DICT;
    return iWWA_OK;
}

uint32_t Length16(const iWWA_Char *t) {
    uint32_t n = 0;
    while (t[n] != 0)
        ++n;
    return n;
}

// Scores of a later pass stay below every score of the passes before it. The cap never wraps:
// once it is 0 (a pass whose lowest score was 0), later candidates score 0 as well.
uint32_t Below(uint32_t cap, uint32_t steps) {
    return cap > steps ? cap - steps : 0;
}

// Score classes for TopScoresBound: the values below 16 each have their own, every octave
// above is split in 16 classes of equal width. The class rises with the score; ClassLowest is
// the lowest score of a class.
constexpr uint32_t kScoreClasses = 16 + 28 * 16;
uint32_t ScoreClass(uint32_t score) {
    if (score < 16)
        return score;
    const uint32_t top = 31 - static_cast<uint32_t>(__builtin_clz(score));  // 4 to 31
    return (top - 3) * 16 + ((score >> (top - 4)) & 15);
}
uint32_t ClassLowest(uint32_t c) {
    if (c < 16)
        return c;
    return (16 + c % 16) << (c / 16 - 1);
}

// A score no higher than the lowest of the CandidateList::kCapacity highest scores of the words
// below `start` (0 when there are no more words than that): the lowest score of the class that
// holds it, from a count of the words in each class. Counting keeps the walk free of the
// unpredictable branches that keeping the best scores themselves costs.
template <class ScoreOf>
uint32_t TopScoresBound(const Trie &trie, uint32_t start, ScoreOf scoreOf) {
    uint32_t count[kScoreClasses] = {};
    uint64_t words = 0;
    trie.Walk(start, [&](const iWWA_Char *, uint32_t, uint32_t frequency) {
        ++count[ScoreClass(scoreOf(frequency))];
        ++words;
    });
    if (words < CandidateList::kCapacity)
        return 0;
    uint32_t above = 0;
    for (uint32_t c = kScoreClasses; c-- > 0;) {
        above += count[c];
        if (above >= CandidateList::kCapacity)
            return ClassLowest(c);
    }
    return 0;
}

}  // namespace

extern "C" {

int iWWA_GetEngineSize(void *sysDict, uint32_t sysLen, const void *userDict, uint32_t userLen,
                       uint32_t *size) {
    if (size == nullptr)
        return iWWA_ERR_INVALID_ARG;
    const int rc = CheckDictionaries(sysDict, sysLen, userDict);
    if (rc != iWWA_OK)
        return rc;
    *size = sizeof(iWWA_Engine);
    return iWWA_OK;
}

int iWWA_Init(void *sysDict, uint32_t sysLen, const void *userDict, uint32_t userLen, void *memory,
              uint32_t size, iWWA_Engine **engine) {
    if (memory == nullptr || engine == nullptr || !Aligned(memory, alignof(iWWA_Engine)))
        return iWWA_ERR_INVALID_ARG;
    // The size query makes the argument and dictionary checks (1, 6); it has no other failure.
    uint32_t wanted = 0;
    const int rc = iWWA_GetEngineSize(sysDict, sysLen, userDict, userLen, &wanted);
    if (rc != iWWA_OK)
        return rc;
    if (size != wanted)
        return iWWA_ERR_INVALID_ARG;

    std::memset(memory, 0, size);
    auto *e = static_cast<iWWA_Engine *>(memory);
    auto *dict = static_cast<uint8_t *>(sysDict);
    Record config, trie;
    if (!FindRecord(dict, kConfigRecord, &config) || !FindRecord(dict, kTrieRecord, &trie))
        return iWWA_ERR_BAD_DICT;
    if (config.length < kConfigSize || !Trie(trie.payload, trie.length).Validate())
        return iWWA_ERR_BAD_DICT;
    e->system = dict;
    e->user = static_cast<const uint8_t *>(userDict);
    e->userLength = userDict != nullptr ? userLen : 0;
    e->config = config.payload;
    e->configLength = config.length;
    e->trie = trie.payload;
    e->trieLength = trie.length;
    e->magic = kEngineMagic;
    *engine = e;
    return iWWA_OK;
}

int iWWA_Uninit(iWWA_Engine **engine) {
    if (engine == nullptr || !ValidEngine(*engine))
        return iWWA_ERR_INVALID_ARG;
    std::memset(*engine, 0, sizeof(iWWA_Engine));
    *engine = nullptr;
    return iWWA_OK;
}

int iWWA_Session_GetSize(const iWWA_Engine *engine, uint32_t *size) {
    if (!ValidEngine(engine) || size == nullptr)
        return iWWA_ERR_INVALID_ARG;
    *size = kSessionHead + (engine->user != nullptr ? Align(kUserDictSize) : 0) + kListSize;
    return iWWA_OK;
}

int iWWA_Session_Init(const iWWA_Engine *engine, void *memory, uint32_t size,
                      iWWA_Session **session) {
    uint32_t wanted = 0;
    if (memory == nullptr || size == 0 || session == nullptr || !Aligned(memory, 16) ||
        iWWA_Session_GetSize(engine, &wanted) != iWWA_OK || size != wanted)
        return iWWA_ERR_INVALID_ARG;
    std::memset(memory, 0, size);
    const uint8_t *cfg = engine->config;
    const uint32_t candLimit = LoadU32(cfg + kCfgDefCandNum);
    const uint32_t mode = LoadU32(cfg + kCfgDefMode);
    // A limit of 0 would find candidates and deliver none; a mode past multi has no meaning.
    if (candLimit == 0 || candLimit > CandidateList::kCapacity || mode > iWWA_MODE_MULTI)
        return iWWA_ERR_BAD_DICT;
    if (engine->user != nullptr && !UserDict::CheckImage(engine->user, engine->userLength))
        return iWWA_ERR_BAD_BLOCK;

    auto *s = static_cast<iWWA_Session *>(memory);
    auto *block = static_cast<uint8_t *>(memory);
    s->engine = engine;
    s->param0 = LoadI32(cfg + kCfgDefParam0);
    s->param1 = LoadI32(cfg + kCfgDefParam1);
    std::memcpy(s->param2, cfg + kCfgDefParam2, kParam2Bytes);
    s->param3 = LoadI32(cfg + kCfgDefParam3);
    s->candLimit = candLimit;
    s->mode = mode;
    uint32_t at = kSessionHead;
    if (engine->user != nullptr) {
        s->userDict = block + at;
        std::memcpy(s->userDict, engine->user, kUserDictSize);
        at += Align(kUserDictSize);
    }
    s->list = reinterpret_cast<CandidateList *>(block + at);
    s->list->Init();
    s->magic = kSessionMagic;
    *session = s;
    return iWWA_OK;
}

int iWWA_Session_Uninit(iWWA_Session **session) {
    if (session == nullptr || !ValidSession(*session))
        return iWWA_ERR_INVALID_ARG;
    iWWA_Session *s = *session;
    if (!s->list->Intact())
        return iWWA_ERR_BAD_BLOCK;
    s->list->Clear(s->mode);
    std::memset(s, 0, sizeof(iWWA_Session));
    *session = nullptr;
    return iWWA_OK;
}

int iWWA_Session_SetParam(iWWA_Session *s, int32_t param, const void *value) {
    if (!ValidSession(s) || value == nullptr || param < 0 || param > iWWA_PARAM_USERDATA)
        return iWWA_ERR_INVALID_ARG;
    const uint8_t *cfg = s->engine->config;
    int32_t v = 0;
    if (param != iWWA_PARAM_2 && param < iWWA_PARAM_CALLBACK)
        std::memcpy(&v, value, sizeof v);
    // Integer parameters whose values the configuration record offers one by one.
    auto offered = [&](uint32_t table, uint32_t values) {
        if (v < 0 || static_cast<uint32_t>(v) >= values)
            return iWWA_ERR_INVALID_ARG;
        return cfg[table + static_cast<uint32_t>(v)] != 0 ? iWWA_OK : iWWA_ERR_NOT_OFFERED;
    };
    int rc = iWWA_OK;
    switch (param) {
        case iWWA_PARAM_0:
            if ((rc = offered(kCfgParam0, kParam0Values)) == iWWA_OK)
                s->param0 = v;
            break;
        case iWWA_PARAM_1:
            if ((rc = offered(kCfgParam1, kParam1Values)) == iWWA_OK)
                s->param1 = v;
            break;
        case iWWA_PARAM_2: {
            const auto *bytes = static_cast<const uint8_t *>(value);
            for (uint32_t i = 0; i < kParam2Bytes; ++i)
                if (bytes[i] != 0 && cfg[kCfgParam2Mask + i] == 0)
                    return iWWA_ERR_NOT_OFFERED;
            std::memcpy(s->param2, bytes, kParam2Bytes);
            break;
        }
        case iWWA_PARAM_3:
            if ((rc = offered(kCfgParam3, kParam3Values)) == iWWA_OK)
                s->param3 = v;
            break;
        case iWWA_PARAM_CANDNUM:
            if (v < 1 || v > static_cast<int32_t>(CandidateList::kCapacity))
                return iWWA_ERR_INVALID_ARG;
            s->candLimit = static_cast<uint32_t>(v);
            break;
        case iWWA_PARAM_MODE:
            if ((rc = offered(kCfgMode, kModeValues)) == iWWA_OK)
                s->mode = static_cast<uint32_t>(v);
            break;
        case iWWA_PARAM_CALLBACK:
            s->callback = reinterpret_cast<iWWA_ResultFunc>(const_cast<void *>(value));
            break;
        case iWWA_PARAM_USERDATA:
            s->user = const_cast<void *>(value);
            break;
    }
    return rc;
}

int iWWA_Session_Associate(iWWA_Session *s, const iWWA_Char *text, int32_t recursive) {
    if (!ValidSession(s) || s->callback == nullptr || text == nullptr)
        return iWWA_ERR_INVALID_ARG;
    CandidateList &list = *s->list;
    list.Clear(s->mode);
    const uint32_t n = Length16(text);
    const Trie trie(s->engine->trie, s->engine->trieLength);
    uint32_t cap = kScoreCap;
    for (uint32_t j = 0; j < n; ++j) {
        if (j > 0 && recursive == 0)
            break;
        const iWWA_Char *ending = text + j;
        const uint32_t m = n - j;
        uint32_t min = cap;

        // The user's words first: the newest scores just below the cap, each older one a step
        // lower, so that every learnt word outranks the trie in the first pass.
        if (s->userDict != nullptr && m < kUserMaxWord) {
            const UserDict user(s->userDict);
            const uint32_t w = user.WordCount();
            for (uint32_t k = 0; k < w; ++k) {
                uint32_t length;
                const iWWA_Char *word = user.Word(k, &length);
                if (length <= m || word[0] != ending[0] || std::memcmp(word, ending, 2 * m) != 0)
                    continue;
                const uint32_t score = Below(cap, w - k);
                if (score < min)
                    min = score;
                list.Offer(word + m, length - m, score);
            }
        }

        int32_t followOn;
        if (trie.Lookup(ending, m, &followOn) && followOn >= 0) {
            const auto start = static_cast<uint32_t>(followOn);
            auto scoreOf = [cap](uint32_t frequency) {
                return frequency >= cap ? Below(cap, 1) : frequency;
            };
            // Into an empty list in multi-character mode (where a walk's texts are all
            // different), a continuation that scores below the 256 best of the walk can
            // change nothing: it is evicted before any of them, and while it is listed it only
            // displaces entries as low as itself. So the walk may skip any of them, and skips
            // those below a bound that is no higher than the 256th best score.
            const uint32_t floor = list.Count() == 0 && s->mode == iWWA_MODE_MULTI
                                       ? TopScoresBound(trie, start, scoreOf)
                                       : 0;
            trie.Walk(start, [&](const iWWA_Char *path, uint32_t length, uint32_t frequency) {
                const uint32_t score = scoreOf(frequency);
                if (score < min)
                    min = score;
                if (score >= floor && !list.Refuses(score))
                    list.Offer(path, length, score);
            });
        }
        if (list.Count() >= s->candLimit)
            break;
        cap = min;
    }
    if (list.Count() == 0)
        return iWWA_ERR_NO_CANDIDATE;

    list.ForEach(s->candLimit, [s](const iWWA_Char *candidate, uint32_t length) {
        if (s->mode == iWWA_MODE_MULTI) {
            s->callback(s->user, candidate, length);
            return;
        }
        // Single-character mode delivers the first character, both halves of a surrogate pair.
        iWWA_Char first[3] = {candidate[0], 0, 0};
        uint32_t units = 1;
        if (length >= 2 && (candidate[0] & 0xfc00) == 0xd800 && (candidate[1] & 0xfc00) == 0xdc00)
            first[units++] = candidate[1];
        s->callback(s->user, first, units);
    });
    return iWWA_OK;
}

int iWWA_Session_AdjustWord(iWWA_Session *s, const iWWA_Char *word) {
    if (!ValidSession(s) || s->userDict == nullptr || word == nullptr)
        return iWWA_ERR_INVALID_ARG;
    uint32_t n = 0;
    while (n < kUserEntryUnits && word[n] != 0) {
        s->text[n] = word[n];
        ++n;
    }
    if (n == 0 || n > kUserMaxWord)
        return iWWA_ERR_INVALID_ARG;
    s->text[n] = 0;
    UserDict(s->userDict).Adjust(s->text, n);
    return iWWA_OK;
}

int iWWA_Session_GetUserDict(iWWA_Session *s, const void **block, uint32_t *length) {
    if (!ValidSession(s) || s->userDict == nullptr || block == nullptr || length == nullptr)
        return iWWA_ERR_INVALID_ARG;
    *block = s->userDict;
    *length = kUserDictSize;
    return iWWA_OK;
}

}  // extern "C"
