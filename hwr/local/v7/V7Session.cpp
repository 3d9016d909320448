// The V7 engine session: its settings, and recognition from points to delivered results (ink
// pipeline, network per line, character pass, word pass per character path, N-best list).
#include <algorithm>
#include <cstring>
#include <new>

#include "CollapseLabels.h"
#include "FrameCandidates.h"
#include "LittleEndian.h"
#include "SectionedResource.h"
#include "V7EngineRecord.h"
#include "WeightTable.h"

namespace {

constexpr size_t Align8(size_t n) {
    return (n + 7) / 8 * 8;
}

uint32_t Word32(const unsigned char *section, int offset) {
    return v7::ReadU32(section + offset);
}

uint32_t CharBeam(const iWFS_Engine *e) {
    return Word32(e->main0, v7config::kCharBeam);
}

uint32_t WordBeam(const iWFS_Engine *e) {
    return e->additional0 ? Word32(e->additional0, v7config::kWordBeam) : CharBeam(e);
}

size_t SearchBytes(uint32_t beam, uint32_t length) {
    return beam ? Align8(v7::LatticeSearch::MemorySize(kSearchCapacity, beam, length)) : 0;
}

size_t SessionBytes(const iWFS_Engine *e) {
    return Align8(sizeof(iWFS_Session)) + Align8(v7::InkPipeline::WorkspaceSize()) +
           SearchBytes(CharBeam(e), kCharPathLength) + SearchBytes(WordBeam(e), kMaxResultChars);
}

// Candidates of the character pass: the current line's output frame.
int CharSource(void *context, int, int, uint16_t, int spanStart, int, uint16_t *chars,
               uint16_t *costs, int capacity) {
    auto *s = static_cast<iWFS_Session *>(context);
    return v7::FrameCandidates(s->network, spanStart - s->earlierFrames, s->allowed, chars, costs,
                               capacity);
}

// Candidates of the word pass: the collapsed character at the span's start.
int WordSource(void *context, int, int, uint16_t, int spanStart, int, uint16_t *chars,
               uint16_t *costs, int capacity) {
    auto *s = static_cast<iWFS_Session *>(context);
    if (capacity < 1)
        return 0;
    chars[0] = s->collapsed[spanStart];
    costs[0] = s->collapsedCosts[spanStart];
    return 1;
}

void RebuildAllowed(iWFS_Session *s) {
    bool number = s->charSet[0], lower = s->charSet[1], upper = s->charSet[2];
    if (s->charSet[3])
        upper = lower = true;
    if (s->charSet[4])
        number = upper = lower = true;
    std::memset(s->allowed, 0, sizeof s->allowed);
    for (int c = '0'; c <= '9'; ++c)
        s->allowed[c] = number;
    for (int c = 'A'; c <= 'Z'; ++c)
        s->allowed[c] = upper;
    for (int c = 'a'; c <= 'z'; ++c)
        s->allowed[c] = lower;
}

// The word-pass configuration the settings give; false when the searcher refuses it.
bool UpdateWordPass(iWFS_Session *s) {
    v7::LatticeSearchConfig c = s->wordConfig;
    c.minChars = static_cast<uint32_t>(s->minChars);
    c.maxChars = static_cast<uint32_t>(s->maxChars);
    for (int i = 0; i < 4; ++i) {
        const v7::WordList *list = s->listSet[i] ? &s->lists[i] : nullptr;
        (i == 0   ? c.allowedWords
         : i == 1 ? c.excludedWords
         : i == 2 ? c.requiredList
                  : c.forbiddenList) = list;
    }
    if (!s->wordSearch || !s->wordSearch->Update(c))
        return false;
    s->wordConfig = c;
    return true;
}

int32_t ReadInt(const void *value) {
    int32_t v;
    std::memcpy(&v, value, sizeof v);
    return v;
}

// Sets a word-pass value, keeping the old one when the searcher refuses the new configuration.
template <class T>
int SetWordValue(iWFS_Session *s, T v7::LatticeSearchConfig::*field, T value) {
    const T old = s->wordConfig.*field;
    s->wordConfig.*field = value;
    if (UpdateWordPass(s))
        return 0;
    s->wordConfig.*field = old;
    return kWfsInternal;
}

}  // namespace

int iWFS_Session_GetBufSize(const iWFS_Engine *engine, size_t *size) {
    if (!engine || !size || !engine->main0)
        return kWfsBadArgument;
    *size = SessionBytes(engine);
    return 0;
}

int iWFS_Session_Init(const iWFS_Engine *engine, void *memory, size_t size,
                      iWFS_Session **session) {
    if (!engine || !engine->main0 || !memory || !session ||
        reinterpret_cast<uintptr_t>(memory) % 8 != 0 || size != SessionBytes(engine))
        return kWfsBadArgument;
    const unsigned char *m0 = engine->main0;
    if (Word32(m0, v7config::kDefaultCandidates) > kMaxCandidates)
        return kWfsInvalidResource;
    auto *s = new (memory) iWFS_Session();
    s->engine = engine;
    s->size = size;
    s->candidates = static_cast<int32_t>(Word32(m0, v7config::kDefaultCandidates));
    s->param3 = static_cast<int32_t>(Word32(m0, v7config::kDefaultParam3));
    s->splitMode = static_cast<int32_t>(Word32(m0, v7config::kDefaultSplitMode));
    s->width = static_cast<int32_t>(Word32(m0, v7config::kDefaultWidth));
    for (int i = 0; i < v7config::kCharSetCount; ++i)
        s->charSet[i] = m0[v7config::kCharSetFlags + i] ? 1 : 0;
    s->minChars = 1;
    s->maxChars = s->splitMode == 0 ? 1 : kMaxResultChars;
    RebuildAllowed(s);
    unsigned char *at = static_cast<unsigned char *>(memory) + Align8(sizeof(iWFS_Session));
    s->ink = new (s->ink_storage) v7::InkPipeline(at);
    at += Align8(v7::InkPipeline::WorkspaceSize());

    auto fail = [&] {
        v7::FreeNetwork(s->network);
        s->~iWFS_Session();
        return static_cast<int>(kWfsInternal);
    };
    s->network = v7::LoadNetwork(engine->main1Size / 4, engine->main1);
    if (!s->network)
        return fail();

    v7::LatticeSearchConfig &c = s->charConfig;
    c.capacity = kSearchCapacity;
    c.beam = CharBeam(engine);
    c.maxLength = kCharPathLength;
    c.source = CharSource;
    c.sourceContext = s;
    c.maxSpan = m0[v7config::kCharSpan];
    c.costWeight = Word32(m0, v7config::kCharCostWeight);
    const size_t charBytes = SearchBytes(c.beam, kCharPathLength);
    s->charSearch = c.beam
                        ? v7::LatticeSearch::Create(
                              at, v7::LatticeSearch::MemorySize(c.capacity, c.beam, c.maxLength), c)
                        : nullptr;
    if (!s->charSearch)
        return fail();
    at += charBytes;

    v7::LatticeSearchConfig &w = s->wordConfig;
    w.capacity = kSearchCapacity;
    w.beam = WordBeam(engine);
    w.maxLength = kMaxResultChars;
    w.source = WordSource;
    w.sourceContext = s;
    if (const unsigned char *a0 = engine->additional0) {
        w.maxSpan = a0[v7config::kWordSpan];
        w.costWeight = Word32(a0, v7config::kWordCostWeight);
        w.wordModel = &engine->wordModel;
        w.order = a0[v7config::kWordOrder];
        w.lookAhead = a0[v7config::kWordLookAhead];
        w.lookAheadCost = a0[v7config::kWordLookAheadCost];
        w.wordModelWeight = Word32(a0, v7config::kWordModelWeight);
    } else {
        w.maxSpan = c.maxSpan;
        w.costWeight = c.costWeight;
    }
    w.minChars = static_cast<uint32_t>(s->minChars);
    w.maxChars = static_cast<uint32_t>(s->maxChars);
    s->wordSearch = w.beam
                        ? v7::LatticeSearch::Create(
                              at, v7::LatticeSearch::MemorySize(w.capacity, w.beam, w.maxLength), w)
                        : nullptr;
    if (!s->wordSearch)
        return fail();
    s->nbest.Reset();
    *session = s;
    return 0;
}

int iWFS_Session_SetParam(iWFS_Session *s, int id, const void *value) {
    if (!s || !s->engine || !value)
        return kWfsBadArgument;
    const unsigned char *m0 = s->engine->main0;
    switch (id) {
        case kWfsParam0:
        case kWfsParam1: {
            const int32_t v = ReadInt(value);
            const int count = id == 0 ? v7config::kParam0Count : v7config::kParam1Count;
            const int flags = id == 0 ? v7config::kParam0Flags : v7config::kParam1Flags;
            if (v < 0 || v >= count || !m0[flags + v])
                return kWfsNotAllowed;
            (id == 0 ? s->param0 : s->param1) = v;
            return 0;
        }
        case kWfsCharSet: {
            const auto *flags = static_cast<const uint8_t *>(value);
            for (int i = 0; i < v7config::kCharSetCount; ++i)
                if (flags[i] && !m0[v7config::kCharSetFlags + i])
                    return kWfsNotAllowed;
            for (int i = 0; i < v7config::kCharSetCount; ++i)
                s->charSet[i] = flags[i] ? 1 : 0;
            RebuildAllowed(s);
            return 0;
        }
        case kWfsParam3: {
            const int32_t v = ReadInt(value);
            if (v < 0 || v > 2)
                return kWfsBadArgument;
            if (!m0[v7config::kParam3Flags + v])
                return kWfsNotAllowed;
            s->param3 = v;
            return 0;
        }
        case kWfsCandidates: {
            const int32_t v = ReadInt(value);
            if (v < 1 || v > kMaxCandidates)
                return kWfsBadArgument;
            s->candidates = v;
            return 0;
        }
        case kWfsSplitMode: {
            const int32_t v = ReadInt(value);
            if (v < 0 || v > 5)
                return kWfsBadArgument;
            if (!m0[v7config::kSplitModeFlags + v])
                return kWfsNotAllowed;
            const int32_t oldMode = s->splitMode, oldMin = s->minChars, oldMax = s->maxChars;
            s->splitMode = v;
            s->minChars = 1;
            s->maxChars = v == 0 ? 1 : kMaxResultChars;
            if (UpdateWordPass(s))
                return 0;
            s->splitMode = oldMode;
            s->minChars = oldMin;
            s->maxChars = oldMax;
            return kWfsInternal;
        }
        case kWfsWidth: {
            const int32_t v = ReadInt(value);
            if (v != 0 && v != 1)
                return kWfsBadArgument;
            s->width = v;
            return 0;
        }
        case kWfsMinChars:
        case kWfsMaxChars: {
            const int32_t v = ReadInt(value);
            const int32_t limit = s->splitMode == 0 ? 1 : kMaxResultChars;
            if (v < 1 || v > limit)
                return kWfsBadArgument;
            const int32_t oldMin = s->minChars, oldMax = s->maxChars;
            if (id == kWfsMinChars) {
                s->minChars = v;
                s->maxChars = std::max(s->maxChars, v);
            } else {
                s->maxChars = v;
                s->minChars = std::min(s->minChars, v);
            }
            if (UpdateWordPass(s))
                return 0;
            s->minChars = oldMin;
            s->maxChars = oldMax;
            return kWfsInternal;
        }
        case kWfsChar9:
        case kWfsChar10: {
            const int32_t v = ReadInt(value);
            if (v <= 0 || v > 0xFFFF)
                return kWfsBadArgument;
            (id == kWfsChar9 ? s->char9 : s->char10) = static_cast<uint16_t>(v);
            return 0;
        }
        case kWfsAllowedWords:
        case kWfsExcludedWords:
        case kWfsRequiredList:
        case kWfsForbiddenList: {
            const auto *ref = static_cast<const iWFS_ResourceRef *>(value);
            const int i = id - kWfsAllowedWords;
            v7::WordList list;
            if (ref->data) {
                const unsigned char *data;
                uint32_t length;
                // A list is read in place, so a keyed (scrambled) list cannot be used.
                if (!v7::SectionedResource::IsValid(ref->data, ref->size) ||
                    !v7::SectionedResource::Key(ref->data).empty() ||
                    !v7::SectionedResource::Section(ref->data, ref->size, 0, &data, &length) ||
                    !list.Open(data, length))
                    return kWfsInvalidResource;
            }
            const v7::WordList oldList = s->lists[i];
            const bool oldSet = s->listSet[i];
            s->lists[i] = list;
            s->listSet[i] = ref->data != nullptr;
            if (UpdateWordPass(s))
                return 0;
            s->lists[i] = oldList;
            s->listSet[i] = oldSet;
            return kWfsInternal;
        }
        case kWfsResultFunction:
            std::memcpy(&s->resultFunction, value, sizeof s->resultFunction);
            return 0;
        case kWfsResultContext:
            std::memcpy(&s->resultContext, value, sizeof s->resultContext);
            return 0;
        case kWfsWordSpan: {
            const int32_t v = ReadInt(value);
            if (v < 1 || v > 255)
                return kWfsBadArgument;
            return SetWordValue<uint8_t>(s, &v7::LatticeSearchConfig::maxSpan,
                                         static_cast<uint8_t>(v));
        }
        case kWfsWordCostWeight:
        case kWfsWordModelWeight: {
            const int32_t v = ReadInt(value);
            if (v < 1)
                return kWfsBadArgument;
            return SetWordValue<uint32_t>(s,
                                          id == kWfsWordCostWeight
                                              ? &v7::LatticeSearchConfig::costWeight
                                              : &v7::LatticeSearchConfig::wordModelWeight,
                                          static_cast<uint32_t>(v));
        }
        case kWfsWordLookAhead:
        case kWfsWordLookAheadCost: {
            const int32_t v = ReadInt(value);
            if (v < 0 || v > 255)
                return kWfsBadArgument;
            return SetWordValue<uint8_t>(s,
                                         id == kWfsWordLookAhead
                                             ? &v7::LatticeSearchConfig::lookAhead
                                             : &v7::LatticeSearchConfig::lookAheadCost,
                                         static_cast<uint8_t>(v));
        }
        default:
            return kWfsBadArgument;
    }
}

int iWFS_Session_Recognize(iWFS_Session *s, const int32_t *points, int count) {
    if (!s || !s->engine || !s->resultFunction || !points || count < 4 || count > v7::kMaxInkPoints)
        return kWfsBadArgument;
    s->nbest.Reset();
    if (int code = s->ink->Prepare(points, count, s->maxChars == 1))
        return code;
    // Character pass, line after line over one growing lattice.
    int total = 0;
    for (int line = 0; line < s->ink->segmentCount(); ++line) {
        if (int code = s->ink->BuildFrames(line))
            return code;
        v7::FeatureFrame *frames = s->ink->frames();
        const int n = s->ink->frameCount();
        // Field 4 (x) is spent once the frame is built: it carries the pen state as the first of
        // the 15 consecutive network inputs.
        for (int i = 0; i < n; ++i)
            frames[i].x = static_cast<float>(frames[i].pen);
        const int out = v7::RunNetworkStrided(s->network, &frames[0].x, n,
                                              sizeof(v7::FeatureFrame) / sizeof(float));
        if (out <= 0)
            return kWfsInternal;
        s->earlierFrames = total;
        total += out;
        if (s->charSearch->Run(total, line == 0 ? 0 : 2) == 0)
            return kWfsNothingRecognised;
    }
    // Word pass over each character path, best first.
    const bool wide = s->width == 1;
    for (int p = 0; p < s->charSearch->pathCount(); ++p) {
        const int n = s->charSearch->PathText(p, false, false, false, s->pathChars, kCharPathLength,
                                              nullptr, s->pathCosts);
        s->pathChars[n] = 0;
        s->pathCosts[n] = 0;
        const int m = v7::CollapseLabels(s->pathChars, s->pathCosts, s->collapsed,
                                         s->collapsedCosts, kMaxResultChars);
        if (m == 0 || s->wordSearch->Run(m, 0) == 0)
            continue;
        uint32_t score = 0;
        const int len = s->wordSearch->PathText(0, true, wide, !wide, s->text,
                                                v7::NBestList::kMaxText, &score, nullptr);
        if (!s->nbest.Add(s->text, len, score))
            return kWfsInternal;
    }
    if (s->nbest.count() == 0)
        return kWfsNothingRecognised;
    const int n = std::min(s->candidates, s->nbest.count());
    for (int i = 0; i < n; ++i)
        s->scores[i] = s->nbest.Score(i);
    v7::Confidences(s->scores, n, s->confidences);
    for (int i = 0; i < n; ++i) {
        int len;
        const uint16_t *text = s->nbest.Text(i, &len);
        s->resultFunction(s->resultContext, text, len, s->confidences[i]);
    }
    return 0;
}

int iWFS_Session_Uninit(iWFS_Session *s) {
    if (!s)
        return kWfsBadArgument;
    if (!s->engine || !s->network)
        return kWfsInternal;
    v7::FreeNetwork(s->network);
    s->network = nullptr;
    s->~iWFS_Session();
    std::memset(static_cast<void *>(s), 0, sizeof(iWFS_Session));
    return 0;
}
