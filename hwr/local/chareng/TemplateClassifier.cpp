// The character engine's main classifier: projected features against class templates.
#include <algorithm>
#include <cstring>

#include "CharFeatures.h"
#include "EngineState.h"

namespace chareng {

namespace {

constexpr int kCoarseKeep = 500;
constexpr int kFineKeep = 100;
constexpr uint16_t kFar = 0xFFFF;
constexpr uint32_t kNoClass = 0xFFFFFFFFu;
constexpr int32_t kMqdfNorm[kMaxEigen + 1] = {9600, 9800, 9900, 9900, 9900, 9900};

struct SquareTable {
    int32_t sq[511];
    SquareTable() {
        for (int d = -255; d <= 255; ++d)
            sq[d + 255] = d * d;
    }
};
const SquareTable &Squares() {
    static const SquareTable table;
    return table;
}

struct HeapEntry {
    uint32_t cls;
    uint32_t tmpl;  // offset of the template from the main header block
    uint16_t dist;
    uint8_t which;  // 0: R1, 1: R2
    uint8_t pad;
};

// Max-heap on dist.
void SiftDown(HeapEntry *h, int n, int i) {
    for (;;) {
        int l = 2 * i + 1, r = l + 1, m = i;
        if (l < n && h[l].dist > h[m].dist)
            m = l;
        if (r < n && h[r].dist > h[m].dist)
            m = r;
        if (m == i)
            return;
        std::swap(h[i], h[m]);
        i = m;
    }
}

// Squared distance over dimensions [from, to); templates hold value + 128.
inline int32_t PartDistance(const uint8_t *y, const uint8_t *t, int from, int to) {
    const int32_t *sq = Squares().sq + 255;
    int32_t d = 0;
    for (int j = from; j < to; ++j)
        d += sq[static_cast<int>(y[j]) - static_cast<int>(t[j])];
    return d;
}

void Project(const EngineState &st, const int16_t *raw, uint8_t *y) {
    ProjectFeatures(raw, st.main.data, st.dim,
                    static_cast<int32_t>(ReadU32(st.main.header + kMainOffDivisor)), y);
}

struct Search {
    const EngineState &st;
    HeapEntry *heap;
    const uint8_t *y;
    uint8_t which;
    void Offer(uint32_t cls, const uint8_t *tmpl) {
        const int32_t d = PartDistance(y, tmpl, 0, kCoarseDims);
        if (d < heap[0].dist) {
            heap[0] = {cls, static_cast<uint32_t>(tmpl - st.main.header), static_cast<uint16_t>(d),
                       which, 0};
            SiftDown(heap, kCoarseKeep, 0);
        }
    }
    // Walks the groups whose range bit meets `mask`, from group 0 up to `lastGroup`.
    void Groups(uint32_t mask, int lastGroup, bool skipSpecial) {
        const uint8_t *h = st.main.header;
        const uint8_t *eig = h + kMainOffEigenCounts;
        const size_t dim = static_cast<size_t>(st.dim);
        const uint8_t *p = h + kMainHeaderBytes;
        uint32_t first = 0;
        for (int g = 0; g <= lastGroup; ++g) {
            const uint32_t bytes = ReadU32(h + kMainOffGroupSizes + 4 * g);
            const uint16_t count = ReadU16(h + kMainOffGroupCounts + 2 * g);
            const uint8_t type = h[kMainOffGroupTypes + g];
            const uint8_t *end = p + bytes;
            if ((kGroupMasks[g] & mask) && !(skipSpecial && g == kSpecialGroup)) {
                uint32_t cls = first;
                switch (type) {
                    case kGroupMqdf:
                    case kGroupMqdfMulti:
                        for (const uint8_t *r = p; r < end;) {
                            const uint16_t header = ReadU16(r);
                            Offer(cls, r + 2);
                            if (!(header & kRecordMoreFlag))
                                ++cls;
                            r += MqdfRecordBytes(header, eig, st.dim);
                        }
                        break;
                    case kGroupIndexed:
                        for (const uint8_t *r = p; r < end; r += 2 + dim)
                            Offer(ReadU16(r), r + 2);
                        break;
                    case kGroupMulti:
                        for (const uint8_t *r = p; r < end; ++cls) {
                            const uint16_t m = ReadU16(r);
                            r += 2;
                            for (uint16_t t = 0; t < m; ++t, r += dim)
                                Offer(cls, r);
                        }
                        break;
                }
            }
            first += count;
            p = end;
        }
    }
};

int32_t MqdfScore(const EngineState &st, const HeapEntry &e, const uint8_t *y, int32_t fine) {
    const uint8_t *h = st.main.header;
    const uint8_t *rec = h + e.tmpl - 2;
    const uint16_t header = ReadU16(rec);
    const int k = (header >> kRecordKindShift) & kRecordKindMask;
    const int n = h[kMainOffEigenCounts + k];
    const int dim = st.dim;
    const uint8_t *mean = rec + 2;
    const uint8_t *lambdas = mean + dim;
    const int8_t *vec = reinterpret_cast<const int8_t *>(lambdas + 2 * n);
    int32_t diff[kMaxDim];
    for (int j = 0; j < dim; ++j)
        diff[j] = static_cast<int32_t>(y[j]) - mean[j];
    int64_t P = 0, Q = 0;
    for (int i = 0; i < n; ++i) {
        int32_t p = 0;
        const int8_t *v = vec + static_cast<size_t>(i) * dim;
        for (int j = 0; j < dim; ++j)
            p += diff[j] * v[j];
        const int64_t p2 = static_cast<int64_t>(p) * p;
        P += p2;
        Q += p2 / std::max<int64_t>(ReadU16(lambdas + 2 * i), 1);
    }
    const int64_t delta = ReadU16(h + kMainOffDelta + 2 * k);  // non-zero: checked at start
    const int64_t score = ((8 * static_cast<int64_t>(fine) - (P >> 11)) / delta + (Q >> 11) +
                           (header & kRecordConstMask)) *
                          10000 / kMqdfNorm[n];
    return static_cast<int32_t>(std::clamp<int64_t>(score, 0, INT32_MAX));
}

}  // namespace

void ProjectFeatures(const int16_t *raw, const uint8_t *w, int dim, int32_t s, uint8_t *y) {
    int64_t acc[kMaxDim] = {};
    int16_t row[kMaxDim];
    for (int i = 0; i < kRawFeatureCount; ++i) {
        const int32_t v = raw[i];
        if (v == 0)
            continue;
        std::memcpy(row, w + static_cast<size_t>(i) * dim * 2, dim * sizeof(int16_t));
        for (int j = 0; j < dim; ++j)
            acc[j] += static_cast<int64_t>(v) * row[j];
    }
    for (int j = 0; j < dim; ++j) {
        const int64_t q = std::clamp<int64_t>(acc[j] / s, -128, 127);
        y[j] = static_cast<uint8_t>(q + 128);
    }
}

void CandidateList::Insert(uint32_t cls, int32_t score) {
    int at = count;
    while (at > 0 && item[at - 1].score > score)
        --at;
    if (at >= kCharMaxCandidates)
        return;
    const int last = std::min(count, kCharMaxCandidates - 1);
    for (int i = last; i > at; --i)
        item[i] = item[i - 1];
    item[at] = {cls, score};
    if (count < kCharMaxCandidates)
        ++count;
}

bool ClassifyTemplates(EngineState &st, const int16_t *pairs, CandidateList *out) {
    out->count = 0;
    if (st.main.header == nullptr)
        return true;
    ScratchPool &pool = st.pool;
    ScratchArray<int16_t> raw(pool, 2 * kRawFeatureCount);
    ScratchArray<uint8_t> y(pool, 2 * kMaxDim);
    ScratchArray<HeapEntry> coarse(pool, kCoarseKeep);
    ScratchArray<HeapEntry> fine(pool, kFineKeep);
    if (!raw || !y || !coarse || !fine)
        return false;

    const uint8_t mode = st.main.header[kMainOffSecondFeatureMode];
    const uint32_t range = st.params.range;
    bool second = false;
    uint32_t secondMask = 0;
    int secondLast = 0;
    if (mode == 0 && (range & 0x1F)) {
        second = true;
        secondMask = range & 0x1F;
        secondLast = 4;
    } else if (mode == 1 && (range & 0x31F)) {
        second = true;
        secondMask = range & 0x31F;
        secondLast = 7;
    }
    if (!ComputeRawFeatures(pairs, pool, raw.get(),
                            second ? raw.get() + kRawFeatureCount : nullptr))
        return false;
    Project(st, raw.get(), y.get());
    if (second)
        Project(st, raw.get() + kRawFeatureCount, y.get() + kMaxDim);

    for (int i = 0; i < kCoarseKeep; ++i)
        coarse[i] = {kNoClass, 0, kFar, 0, 0};
    Search search{st, coarse.get(), y.get(), 0};
    search.Groups(range, kGroupCount - 1, false);
    if (second) {
        search.y = y.get() + kMaxDim;
        search.which = 1;
        search.Groups(secondMask, secondLast, true);
    }

    for (int i = 0; i < kFineKeep; ++i)
        fine[i] = {kNoClass, 0, kFar, 0, 0};
    for (int i = 0; i < kCoarseKeep; ++i) {
        const HeapEntry &e = coarse[i];
        if (e.cls == kNoClass)
            continue;
        const uint8_t *yv = y.get() + e.which * kMaxDim;
        const int32_t d = e.dist + PartDistance(yv, st.main.header + e.tmpl, kCoarseDims, st.dim);
        if (d < fine[0].dist) {
            fine[0] = e;
            fine[0].dist = static_cast<uint16_t>(d);
            SiftDown(fine.get(), kFineKeep, 0);
        }
    }

    // Euclidean ranking as soon as a searched group has no eigenvectors.
    bool euclidean = false;
    for (int g = 0; g < kGroupCount; ++g) {
        const uint8_t type = st.main.header[kMainOffGroupTypes + g];
        if ((kGroupMasks[g] & range) && (type == kGroupIndexed || type == kGroupMulti))
            euclidean = true;
    }
    CandidateList ranked;
    for (int i = 0; i < kFineKeep; ++i) {
        const HeapEntry &e = fine[i];
        if (e.cls == kNoClass || e.dist == kFar)
            continue;
        const int32_t score =
            euclidean ? e.dist : MqdfScore(st, e, y.get() + e.which * kMaxDim, e.dist);
        ranked.Insert(e.cls, score);
    }

    // Sub-language: characters of groups 6 and 7 must be in the selected entry.
    uint32_t subFirst = 0, subEnd = 0;
    if (st.params.sublangEntry) {
        subFirst = st.specialBase + st.specialCount;
        subEnd = subFirst + ReadU16(st.main.header + kMainOffGroupCounts + 2 * 6) +
                 ReadU16(st.main.header + kMainOffGroupCounts + 2 * 7);
    }
    for (int i = 0; i < ranked.count; ++i) {
        const Candidate &c = ranked.item[i];
        if (st.params.sublangEntry && c.cls >= subFirst && c.cls < subEnd) {
            const uint16_t code = c.cls < st.codeCount ? TableCode(st.tables[1], c.cls) : 0xFFFF;
            const uint16_t n = ReadU16(st.params.sublangEntry);
            bool found = false;
            for (uint16_t k = 0; k < n && !found; ++k)
                found = ReadU16(st.params.sublangEntry + 2 + 2 * k) == code;
            if (!found)
                continue;
        }
        bool seen = false;
        for (int k = 0; k < out->count && !seen; ++k)
            seen = out->item[k].cls == c.cls;
        if (!seen)
            out->item[out->count++] = c;
    }
    return true;
}

}  // namespace chareng
