#include "CharEngine.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "EngineState.h"

using namespace chareng;

const size_t kCharEngineMinWorkSize = sizeof(EngineState) + kScratchBytes;
static_assert(sizeof(EngineState) + kScratchBytes <= kCharEngineWorkSize,
              "engine state and scratch must fit the work memory the recognisers supply");

namespace {

constexpr int kMaxInputBytes = 4096;
constexpr int kMaxInputPairs = kMaxInputBytes / 4;

struct Rotation {
    int32_t cos, sin;
};
// +45, -45, +90, -90, +135, -135 and 180 degrees, x 4096.
constexpr Rotation kRotations[7] = {{2896, 2896},  {2896, -2896},  {0, 4096}, {0, -4096},
                                    {-2896, 2896}, {-2896, -2896}, {-4096, 0}};

EngineState *State(void *handle) {
    return static_cast<EngineState *>(handle);
}

void SetDefaults(EngineState &st) {
    const int32_t ten = 10, range = 0x7F00, zero = 0, one = 1;
    CharEngineSetParam(&st, kCharParamCandidates, &ten);
    CharEngineSetParam(&st, kCharParamRange, &range);
    CharEngineSetParam(&st, kCharParamDisplay, &zero);
    CharEngineSetParam(&st, kCharParamWidth, &one);
    CharEngineSetParam(&st, kCharParamSpecial, nullptr);
    CharEngineSetParam(&st, kCharParamSublang, &zero);
    CharEngineSetParam(&st, kCharParamRotations, &zero);
    CharEngineSetParam(&st, kCharParamSpecialAny, &zero);
    CharEngineSetParam(&st, kCharParamAllowed, nullptr);
    CharEngineSetParam(&st, kCharParamBox, nullptr);
    CharEngineSetParam(&st, kCharParamNoCalibrate, &zero);
    CharEngineSetParam(&st, kCharParamWord12, &zero);
}

int32_t ReadParam(const void *value) {
    int32_t v = 0;
    if (value)
        std::memcpy(&v, value, sizeof v);
    return v;
}

// Copies `pairs` pairs folded: pen-up pairs stay, every other value loses its sign; the copy
// ends with (-1, -1) (so `out` has room for pairs + 1).
void Fold(const int16_t *in, int pairs, int16_t *out) {
    int i = 0;
    for (; i < pairs; ++i) {
        const int16_t x = in[2 * i], y = in[2 * i + 1];
        if (x == -1 && y == -1)
            break;
        if (x == -1 && y == 0) {
            out[2 * i] = -1;
            out[2 * i + 1] = 0;
            continue;
        }
        out[2 * i] = static_cast<int16_t>(x < 0 ? -x : x);
        out[2 * i + 1] = static_cast<int16_t>(y < 0 ? -y : y);
    }
    out[2 * i] = -1;
    out[2 * i + 1] = -1;
}

inline bool IsPenPair(int32_t x, int32_t y) {
    return x == -1 && (y == 0 || y == -1);
}

// Rotates `pairs` pairs about the origin and moves them back to the axes; pen-up pairs stay.
void Rotate(const int16_t *in, int pairs, const Rotation &r, int16_t *out) {
    auto turnX = [&r](int32_t x, int32_t y) { return (x * r.cos - y * r.sin) / 4096 + 10000; };
    auto turnY = [&r](int32_t x, int32_t y) { return (x * r.sin + y * r.cos) / 4096 + 10000; };
    int32_t minX = INT32_MAX, minY = INT32_MAX;
    for (int i = 0; i < pairs; ++i) {
        const int32_t x = in[2 * i], y = in[2 * i + 1];
        if (IsPenPair(x, y))
            continue;
        minX = std::min(minX, turnX(x, y));
        minY = std::min(minY, turnY(x, y));
    }
    for (int i = 0; i < pairs; ++i) {
        const int32_t x = in[2 * i], y = in[2 * i + 1];
        if (IsPenPair(x, y)) {
            out[2 * i] = static_cast<int16_t>(x);
            out[2 * i + 1] = static_cast<int16_t>(y);
            continue;
        }
        out[2 * i] = static_cast<int16_t>(std::min(turnX(x, y) - minX, 32767));
        out[2 * i + 1] = static_cast<int16_t>(std::min(turnY(x, y) - minY, 32767));
    }
}

// A and B into L: each class of A scored with its stroke-matcher distance (or a default).
void Fuse(const EngineState &st, const CandidateList &a, CandidateList &b, CandidateList *l) {
    if (b.count == 0) {
        *l = a;
        return;
    }
    const int64_t d0 = static_cast<int64_t>(a.item[0].score) + 1;
    const int64_t s0 = static_cast<int64_t>(b.item[0].score) + 1;
    const int64_t fallback =
        std::max<int64_t>(static_cast<int64_t>(b.item[b.count - 1].score) + 1, 6 * s0 / 5);
    const bool multi = st.main.header && st.main.header[kMainOffGroupTypes] == kGroupMulti;
    int64_t w;
    if (!multi)
        w = st.dim == 32 ? 5 : 4;
    else
        w = st.dim == 32 ? 17 : (st.dim == 64 ? 11 : 10);
    l->count = 0;
    for (int i = 0; i < a.count; ++i) {
        int64_t s = fallback;
        for (int k = 0; k < b.count; ++k) {
            if (b.item[k].cls == a.item[i].cls) {
                s = b.item[k].score;
                b.item[k].cls = 0xFFFFFFFFu;  // taken
                break;
            }
        }
        const int64_t ratio = (s << 16) / s0;  // 16.16
        const int64_t fused =
            ((w * d0 * ratio >> 16) + 16 * static_cast<int64_t>(a.item[i].score)) / (w + 16);
        l->Insert(a.item[i].cls, static_cast<int32_t>(std::min<int64_t>(fused, INT32_MAX)));
    }
}

// 2 (e / b)(d / sum) in 16.16 fixed point, e = max(d - a, 0); the order is kept.
void Calibrate(const EngineState &st, CandidateList *l) {
    if (l->count == 0)
        return;
    int64_t sum = 0;
    for (int i = 0; i < l->count; ++i)
        sum += l->item[i].score;
    if (l->count < kCharMaxCandidates)
        sum += static_cast<int64_t>(kCharMaxCandidates - l->count) * l->item[0].score;
    const uint8_t *t0 = st.tables[0];
    for (int i = 0; i < l->count; ++i) {
        Candidate &c = l->item[i];
        if (c.cls >= st.codeCount)
            continue;
        const int64_t a = ReadI16(t0 + 4 * c.cls), b = ReadI16(t0 + 4 * c.cls + 2);
        const int64_t d = c.score;
        const int64_t e = std::max<int64_t>(d - a, 0);
        const int64_t u = b != 0 ? (e * 65536) / b : 0;
        const int64_t v = sum > 0 ? (d * 65536) / sum : 0;
        const int64_t mag = u < 0 ? -u : u;
        int64_t score = (((mag & 0xFFFF) * v) >> 15) + (mag >> 16) * v * 2;
        if (u < 0)
            score = -score;
        c.score = static_cast<int32_t>(std::clamp<int64_t>(score, INT32_MIN, INT32_MAX));
    }
}

bool ClassifyOnce(EngineState &st, const int16_t *folded, CandidateList *l) {
    CandidateList a, b;
    if (!ClassifyTemplates(st, folded, &a))
        return false;
    if (st.sub.header && a.count > 0 && !MatchStrokes(st, folded, a, &b))
        return false;
    Fuse(st, a, b, l);
    if (st.params.noCalibration == 0 && st.tables[0])
        Calibrate(st, l);
    return true;
}

// Rotated passes: a class already in L keeps the smaller score (and moves to its place).
void MergeInto(CandidateList *l, const CandidateList &r) {
    for (int i = 0; i < r.count; ++i) {
        const Candidate &c = r.item[i];
        int at = -1;
        for (int k = 0; k < l->count; ++k) {
            if (l->item[k].cls == c.cls) {
                at = k;
                break;
            }
        }
        if (at >= 0) {
            if (c.score >= l->item[at].score)
                continue;
            for (int k = at; k + 1 < l->count; ++k)
                l->item[k] = l->item[k + 1];
            --l->count;
        }
        l->Insert(c.cls, c.score);
    }
}

bool InAllowed(const EngineParams &p, uint16_t code) {
    for (int i = 0; i < p.allowedCount; ++i) {
        if (p.allowed[i] == code)
            return true;
    }
    return false;
}

int Output(const EngineState &st, const CandidateList &l, uint16_t *codes, int32_t *scores,
           uint16_t *secondary) {
    const EngineParams &p = st.params;
    const uint32_t base = st.specialBase, specialEnd = st.specialBase + st.specialCount;
    int out = 0;
    for (int i = 0; i < l.count && out < p.candidates; ++i) {
        const uint32_t c = l.item[i].cls;
        const bool known = c < st.codeCount;
        const uint16_t m = known ? TableCode(p.display, c) : 0xFFFF;
        bool dup = false;
        for (int k = 0; k < out && !dup; ++k)
            dup = codes[k] == m;
        if (dup)
            continue;
        const bool special = c >= base && c < specialEnd;
        const uint16_t specialCode = special && c - base < static_cast<uint32_t>(kCharSpecialCodes)
                                         ? p.special[c - base]
                                         : 0;
        if (p.allowed) {
            bool ok = (known && InAllowed(p, TableCode(st.tables[1], c))) ||
                      (known && st.tables[2] && InAllowed(p, TableCode(st.tables[2], c))) ||
                      (special && specialCode != 0 && InAllowed(p, specialCode));
            if (!ok)
                continue;
        }
        uint16_t code, second;
        if (c < base) {
            code = known ? TableCode(p.width, c) : 0xFFFF;
            second = known ? TableCode(st.tables[1], c) : 0xFFFF;
        } else if (special) {
            if (specialCode == 0)
                continue;
            if (p.specialAnywhere == 0 && out != 0)
                continue;
            code = specialCode;
            second = specialCode;
        } else {
            code = m;
            second = known && st.tables[3] ? TableCode(st.tables[3], c) : m;
        }
        codes[out] = code;
        if (scores)
            scores[out] = l.item[i].score;
        if (secondary)
            secondary[out] = second;
        ++out;
    }
    codes[out] = 0;
    return out;
}

}  // namespace

void *CharEngineStart(const void *dictionary, const void *prior, void *memory) {
    if (memory == nullptr)
        return nullptr;
    std::memset(memory, 0, kCharEngineMinWorkSize);
    if (dictionary == nullptr)
        return nullptr;
    DictionaryLayout d;
    if (ParseDictionary(dictionary, kUnknownSize, &d) != DictionaryError::kNone)
        return nullptr;
    auto *st = new (memory) EngineState{};
    st->dictionary = d.image;
    if (d.mainHeader)
        st->main = {0, 0, d.mainHeader, d.projection, 0};
    if (d.subHeader)
        st->sub = {0, 0, d.subHeader, d.subIndex, 0};
    st->subIndexEntries = d.words[kWordSubIndex] / 4;
    st->codeCount = d.classCount;
    st->tables[0] = d.calibration;
    st->tables[1] = d.codes;
    st->tables[2] = d.altTraditional;
    st->tables[3] = d.altSimplified;
    st->sublangCount = d.sublangCount;
    st->sublangEntries = d.sublang ? d.sublang + 2 : nullptr;
    st->prior = prior;
    st->headerWord7 = d.words[kWordProjection];
    st->headerWord6 = d.words[kWordMainHeader];
    SetDefaults(*st);
    if (d.mainHeader) {
        for (int g = 0; g < kSpecialGroup; ++g)
            st->specialBase += ReadU16(d.mainHeader + kMainOffGroupCounts + 2 * g);
        st->specialCount = ReadU16(d.mainHeader + kMainOffGroupCounts + 2 * kSpecialGroup);
        st->dim = d.dim;
    }
    st->pool.base = static_cast<uint8_t *>(memory) + sizeof(EngineState);
    st->pool.available = kScratchBytes;
    st->pool.used = 0;
    return st;
}

int CharEngineCheckDictionary(const void *dictionary, size_t size) {
    DictionaryLayout d;
    return static_cast<int>(ParseDictionary(dictionary, size, &d));
}

int CharEngineSetParam(void *handle, int id, const void *value) {
    if (handle == nullptr)
        return 0;
    EngineState &st = *State(handle);
    EngineParams &p = st.params;
    switch (id) {
        case kCharParamCandidates: {
            const int32_t v = ReadParam(value);
            p.candidates = (v >= 0 && v <= kCharMaxCandidates) ? v : 10;
            return 1;
        }
        case kCharParamRange:
            p.range = static_cast<uint32_t>(ReadParam(value));
            return 1;
        case kCharParamDisplay: {
            const int32_t v = ReadParam(value);
            p.display = st.tables[1];
            if (v == 1 && st.tables[3])
                p.display = st.tables[3];
            else if (v == 2 && st.tables[2])
                p.display = st.tables[2];
            return 1;
        }
        case kCharParamWidth: {
            const int32_t v = ReadParam(value);
            p.width = (v == 0 && st.tables[2]) ? st.tables[2] : st.tables[1];
            return 1;
        }
        case kCharParamSpecial:
            if (value)
                std::memcpy(p.special, value, sizeof p.special);
            else
                std::memset(p.special, 0, sizeof p.special);
            return 1;
        case kCharParamSpecialAny:
            p.specialAnywhere = ReadParam(value);
            return 1;
        case kCharParamSublang: {
            const int32_t v = ReadParam(value);
            if (v == kCharNoSublang) {
                p.sublangValue = v;
                p.sublangEntry = nullptr;
                return 1;
            }
            p.sublangValue = v;
            p.sublangEntry = nullptr;
            // An index equal to the entry count would name an entry past the table: none then.
            if (st.sublangEntries && v >= 0 && v < st.sublangCount) {
                const uint8_t *e = st.sublangEntries;
                for (int32_t i = 0; i < v; ++i)
                    e += 2 + 2 * ReadU16(e);
                p.sublangEntry = e;
            }
            return 1;
        }
        case kCharParamRotations: {
            const int32_t v = ReadParam(value);
            p.rotations = (v == 2 || v == 4 || v == 7) ? v : 0;
            return 1;
        }
        case kCharParamPointer8:
            p.pointer8 = value;
            return 1;
        case kCharParamAllowed: {
            p.allowed = static_cast<const uint16_t *>(value);
            p.allowedCount = 0;
            if (p.allowed) {
                while (p.allowed[p.allowedCount] != 0 && p.allowed[p.allowedCount] != 0xFFFF)
                    ++p.allowedCount;
            }
            return 1;
        }
        case kCharParamBox: {
            std::memset(p.box, 0, sizeof p.box);
            if (value == nullptr)
                return 1;
            int32_t box[11];
            std::memcpy(box, value, sizeof box);
            // The last six words are the box's proportions in percent.
            for (int i = 5; i < 11; ++i) {
                if (box[i] < 1 || box[i] > 99)
                    return 1;
            }
            std::memcpy(p.box, box, sizeof box);
            return 1;
        }
        case kCharParamNoCalibrate: {
            const int32_t v = ReadParam(value);
            p.noCalibration = (v == 1) ? 1 : 0;
            return 1;
        }
        case kCharParamWord12:
            p.word12 = ReadParam(value);
            return 1;
        default:
            return 0;
    }
}

int CharEngineRecog(void *handle, int16_t *strokes, uint16_t *codes, int32_t *scores,
                    uint16_t *secondary) {
    if (handle == nullptr || strokes == nullptr || codes == nullptr)
        return 0;
    EngineState &st = *State(handle);
    // The end is the first pair whose second value is -1; a writing of more than 4096 bytes
    // is cut in the caller's buffer.
    int pairs = kMaxInputPairs;
    for (int i = 0; i < kMaxInputPairs; ++i) {
        if (strokes[2 * i + 1] == -1) {
            pairs = i + 1;
            break;
        }
        if (i == kMaxInputPairs - 1) {
            strokes[kMaxInputPairs * 2 - 4] = -1;
            strokes[kMaxInputPairs * 2 - 3] = 0;
            strokes[kMaxInputPairs * 2 - 2] = -1;
            strokes[kMaxInputPairs * 2 - 1] = -1;
        }
    }

    const uint32_t poolMark = st.pool.used;
    CandidateList l;
    {
        ScratchArray<int16_t> folded(st.pool, 2 * (kMaxInputPairs + 1));
        ScratchArray<int16_t> turned(st.pool, 2 * kMaxInputPairs);
        if (folded && turned) {
            Fold(strokes, pairs, folded.get());
            bool ok = ClassifyOnce(st, folded.get(), &l);
            if (ok && st.tables[0] && st.params.rotations > 0) {
                for (int r = 0; r < st.params.rotations && ok; ++r) {
                    CandidateList lr;
                    Rotate(strokes, pairs, kRotations[r], turned.get());
                    Fold(turned.get(), pairs, folded.get());
                    ok = ClassifyOnce(st, folded.get(), &lr);
                    if (ok)
                        MergeInto(&l, lr);
                }
            }
            if (!ok)
                l.count = 0;
        }
    }
    st.pool.used = poolMark;
    return Output(st, l, codes, scores, secondary);
}

int CharEngineEnd(void *handle) {
    return 1;
}
