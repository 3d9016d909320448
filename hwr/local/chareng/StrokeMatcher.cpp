#include "StrokeMatcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "CharDictionary.h"
#include "CharFeatures.h"

namespace chareng {

namespace {

constexpr float kPi = 3.14159265358979f;
// Douglas-Peucker tolerance in 64-frame units; raised when a writing needs too many segments.
constexpr float kFirstTolerance = 1.6f;

struct CostTable {
    uint32_t cost[kSegmentFrame][kSegmentFrame];
    CostTable() {
        for (int dx = 0; dx < kSegmentFrame; ++dx)
            for (int dy = 0; dy < kSegmentFrame; ++dy)
                cost[dx][dy] = static_cast<uint32_t>(
                    std::lround(1000.0 * std::sqrt(static_cast<double>(dx * dx + dy * dy + 1))));
    }
};

const CostTable &Costs() {
    static const CostTable table;
    return table;
}

void SetSegment(Segment *s, float x0, float y0, float x1, float y1) {
    s->x0 = x0;
    s->y0 = y0;
    s->x1 = x1;
    s->y1 = y1;
    s->length = std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
    s->direction = SegmentDirection(x1 - x0, y1 - y0);
}

int DirectionDifference(int a, int b) {
    int d = std::abs(a - b) % 360;
    return d > 180 ? 360 - d : d;
}

// Marks the points that a Douglas-Peucker simplification of [lo, hi] keeps.
void Simplify(const float *x, const float *y, int lo, int hi, float tol, uint8_t *keep,
              int *stack) {
    int top = 0;
    stack[top++] = lo;
    stack[top++] = hi;
    keep[lo] = keep[hi] = 1;
    while (top > 0) {
        const int b = stack[--top], a = stack[--top];
        if (b - a < 2)
            continue;
        const float dx = x[b] - x[a], dy = y[b] - y[a];
        const float len = std::sqrt(dx * dx + dy * dy);
        float best = -1;
        int at = -1;
        for (int i = a + 1; i < b; ++i) {
            const float d =
                len > 1e-6f
                    ? std::fabs((x[i] - x[a]) * dy - (y[i] - y[a]) * dx) / len
                    : std::sqrt((x[i] - x[a]) * (x[i] - x[a]) + (y[i] - y[a]) * (y[i] - y[a]));
            if (d > best) {
                best = d;
                at = i;
            }
        }
        if (best > tol) {
            keep[at] = 1;
            stack[top++] = a;
            stack[top++] = at;
            stack[top++] = at;
            stack[top++] = b;
        }
    }
}

}  // namespace

int SegmentDirection(float dx, float dy) {
    int a = 0;
    if (dx != 0.f || dy != 0.f) {
        a = static_cast<int>(std::floor(std::atan2(dy, dx) * 180.f / kPi));
        a = ((a % 360) + 360) % 360;
    }
    return 360 - a;
}

int MergeSegments(Segment *segs, int count) {
    bool merged = true;
    while (merged && count > 1) {
        merged = false;
        int out = 0;
        for (int i = 0; i < count; ++i) {
            if (i + 1 < count) {
                const Segment &a = segs[i], &b = segs[i + 1];
                const bool apart = DirectionDifference(a.direction, b.direction) >= 74;
                const bool comparable = a.length <= 14 * b.length && b.length <= 14 * a.length;
                if (!(apart && comparable)) {
                    Segment m;
                    SetSegment(&m, a.x0, a.y0, b.x1, b.y1);
                    segs[out++] = m;
                    ++i;
                    merged = true;
                    continue;
                }
            }
            segs[out++] = segs[i];
        }
        count = out;
    }
    return count;
}

int CutSegments(const int16_t *pairs, ScratchPool &pool, Segment *out) {
    ScratchArray<float> xs(pool, kMaxPoints), ys(pool, kMaxPoints);
    ScratchArray<int> ends(pool, kMaxPoints);
    ScratchArray<uint8_t> keep(pool, kMaxPoints);
    ScratchArray<int> stack(pool, 4 * kMaxPoints);
    if (!xs || !ys || !ends || !keep || !stack)
        return 0;
    int n = 0, strokes = 0, strokeStart = 0;
    for (int i = 0; i < kMaxPoints; ++i) {
        const int16_t px = pairs[2 * i], py = pairs[2 * i + 1];
        if (px == -1 && py == -1)
            break;
        if (px == -1 && py == 0) {
            if (n > strokeStart) {
                ends[strokes++] = n;
                strokeStart = n;
            }
            continue;
        }
        xs[n] = px;
        ys[n] = py;
        ++n;
    }
    if (n > strokeStart)
        ends[strokes++] = n;
    if (n == 0)
        return 0;
    float minX = xs[0], maxX = minX, minY = ys[0], maxY = minY;
    for (int i = 1; i < n; ++i) {
        minX = std::min(minX, xs[i]);
        maxX = std::max(maxX, xs[i]);
        minY = std::min(minY, ys[i]);
        maxY = std::max(maxY, ys[i]);
    }
    const float w = maxX - minX, h = maxY - minY;
    const float k = (kSegmentFrame - 1) / std::max(std::max(w, h), 1.f);
    const float ox = ((kSegmentFrame - 1) - w * k) / 2, oy = ((kSegmentFrame - 1) - h * k) / 2;
    for (int i = 0; i < n; ++i) {
        xs[i] = (xs[i] - minX) * k + ox;
        ys[i] = (ys[i] - minY) * k + oy;
    }

    float tol = kFirstTolerance;
    int count = 0;
    for (int attempt = 0; attempt < 12; ++attempt) {
        std::memset(keep.get(), 0, kMaxPoints);
        count = 0;
        int start = 0;
        for (int s = 0; s < strokes; ++s) {
            const int end = ends[s];
            if (end - start == 1) {
                keep[start] = 1;
                ++count;
            } else {
                Simplify(xs.get(), ys.get(), start, end - 1, tol, keep.get(), stack.get());
                for (int i = start; i < end; ++i)
                    count += keep[i];
                --count;  // n kept points of a stroke make n - 1 segments
            }
            start = end;
        }
        if (count <= kMaxSegments)
            break;
        tol *= 1.5f;
    }
    int segs = 0;
    int start = 0;
    for (int s = 0; s < strokes && segs < kMaxSegments; ++s) {
        const int end = ends[s];
        if (end - start == 1) {
            SetSegment(&out[segs++], xs[start], ys[start], xs[start], ys[start]);
        } else {
            int prev = start;
            for (int i = start + 1; i < end && segs < kMaxSegments; ++i) {
                if (!keep[i])
                    continue;
                SetSegment(&out[segs++], xs[prev], ys[prev], xs[i], ys[i]);
                prev = i;
            }
        }
        start = end;
    }
    return MergeSegments(out, segs);
}

void BuildSequences(const Segment *segs, int count, SegmentSequences *out) {
    auto clampCoord = [](float v) {
        const int q = static_cast<int>(std::lround(v));
        return static_cast<uint8_t>(std::clamp(q, 0, kSegmentFrame - 1));
    };
    out->sCount = out->hCount = 0;
    for (int i = 0; i < count; ++i) {
        const Segment &g = segs[i];
        const uint8_t p[4] = {clampCoord(g.x0), clampCoord(g.y0), clampCoord(g.x1),
                              clampCoord(g.y1)};
        out->s[out->sCount][0] = p[0];
        out->s[out->sCount][1] = p[1];
        out->s[out->sCount + 1][0] = p[2];
        out->s[out->sCount + 1][1] = p[3];
        out->sCount += 2;
        if (g.direction < 80 || g.direction > 190) {
            out->h[out->hCount][0] = p[0];
            out->h[out->hCount][1] = p[1];
            out->h[out->hCount + 1][0] = p[2];
            out->h[out->hCount + 1][1] = p[3];
            out->hCount += 2;
        }
    }
}

void PrototypePoint(const uint8_t *proto, int i, int *x, int *y) {
    const uint8_t *bits = proto + 1;
    auto value = [bits](int k) {
        const int bit = 6 * k;
        const int byte = bit >> 3, shift = bit & 7;
        unsigned v = bits[byte] >> shift;
        if (shift > 2)
            v |= static_cast<unsigned>(bits[byte + 1]) << (8 - shift);
        return static_cast<int>(v & 0x3F);
    };
    *x = value(2 * i);
    *y = value(2 * i + 1);
}

int PackPrototype(const uint8_t (*points)[2], int n, uint8_t *out) {
    const int bytes = static_cast<int>(PrototypeBytes(n));
    std::memset(out, 0, bytes);
    out[0] = static_cast<uint8_t>(n);
    uint8_t *bits = out + 1;
    for (int k = 0; k < 2 * n; ++k) {
        const unsigned v = points[k / 2][k % 2] & 0x3F;
        const int bit = 6 * k, byte = bit >> 3, shift = bit & 7;
        bits[byte] |= static_cast<uint8_t>(v << shift);
        if (shift > 2)
            bits[byte + 1] |= static_cast<uint8_t>(v >> (8 - shift));
    }
    return bytes;
}

int32_t PrototypeDistance(const uint8_t (*seq)[2], int ns, const uint8_t *proto, bool swapXY) {
    const int np = proto[0];
    if (np == 0 || ns == 0)
        return -1;
    const CostTable &costs = Costs();
    const int ratio = (256 * ns) / np;
    // Best path into each cell of the previous and the current prototype row, by column.
    uint32_t prevSum[kMaxSequence], prevSteps[kMaxSequence];
    uint32_t curSum[kMaxSequence], curSteps[kMaxSequence];
    int prevLo = 0, prevHi = -1;
    for (int i = 0; i < np; ++i) {
        int px, py;
        PrototypePoint(proto, i, &px, &py);
        const int c = ((i + 1) * ratio + 16) / 256;
        const int lo = std::max(c - 6, 0), hi = std::min(c + 3, ns - 1);
        for (int j = lo; j <= hi; ++j) {
            const int sx = swapXY ? seq[j][1] : seq[j][0];
            const int sy = swapXY ? seq[j][0] : seq[j][1];
            const uint32_t cost = costs.cost[std::abs(sx - px)][std::abs(sy - py)];
            uint32_t bestSum = 0, bestSteps = 0;
            auto consider = [&](uint32_t sum, uint32_t steps) {
                if (steps == 0)
                    return;
                // Smaller average cost wins: sum / steps < bestSum / bestSteps.
                if (bestSteps == 0 || static_cast<uint64_t>(sum) * bestSteps <
                                          static_cast<uint64_t>(bestSum) * steps) {
                    bestSum = sum;
                    bestSteps = steps;
                }
            };
            if (i == 0 && j == 0) {
                bestSum = 0;
                bestSteps = 0;
                curSum[j] = cost;
                curSteps[j] = 1;
                continue;
            }
            if (i > 0 && j >= prevLo && j <= prevHi)
                consider(prevSum[j], prevSteps[j]);
            if (i > 0 && j > 0 && j - 1 >= prevLo && j - 1 <= prevHi)
                consider(prevSum[j - 1], prevSteps[j - 1]);
            if (j > lo)
                consider(curSum[j - 1], curSteps[j - 1]);
            curSum[j] = bestSteps ? bestSum + cost : 0;
            curSteps[j] = bestSteps ? bestSteps + 1 : 0;
        }
        for (int j = lo; j <= hi; ++j) {
            prevSum[j] = curSum[j];
            prevSteps[j] = curSteps[j];
        }
        prevLo = lo;
        prevHi = hi;
        if (lo > hi)
            return -1;
    }
    if (ns - 1 < prevLo || ns - 1 > prevHi || prevSteps[ns - 1] == 0)
        return -1;
    return static_cast<int32_t>(prevSum[ns - 1] / prevSteps[ns - 1]);
}

}  // namespace chareng

// --- the engine's stroke-matcher pass -------------------------------------------------------

#include "EngineState.h"

namespace chareng {

bool MatchStrokes(EngineState &st, const int16_t *pairs, const CandidateList &a,
                  CandidateList *out) {
    out->count = 0;
    ScratchArray<Segment> segs(st.pool, kMaxSegments);
    ScratchArray<SegmentSequences> seqs(st.pool, 1);
    if (!segs || !seqs)
        return false;
    const int count = CutSegments(pairs, st.pool, segs.get());
    BuildSequences(segs.get(), count, seqs.get());
    const SegmentSequences &q = *seqs.get();
    const uint8_t *protos = st.sub.header + kSubHeaderBytes;
    for (int i = 0; i < a.count; ++i) {
        const uint32_t cls = a.item[i].cls;
        if (cls >= st.subIndexEntries)
            continue;
        const uint32_t e = ReadU32(st.sub.data + 4 * cls);
        if (e == kSubNoPrototypes)
            continue;
        const bool horizontal = (e & kSubUseHorizontal) != 0;
        const bool swapped = (e & kSubAlsoSwapped) != 0;
        const uint8_t(*seq)[2] = horizontal ? q.h : q.s;
        const int ns = horizontal ? q.hCount : q.sCount;
        if (ns == 0)
            continue;
        const uint8_t *p = protos + (e & kSubOffsetMask);
        const uint32_t n = (e >> kSubCountShift) & kSubCountMask;
        int32_t best = -1;
        for (uint32_t k = 0; k < n; ++k) {
            const int np = p[0];
            if (std::abs(np - ns) < 11) {
                for (int pass = 0; pass < (swapped ? 2 : 1); ++pass) {
                    const int32_t d = PrototypeDistance(seq, ns, p, pass == 1);
                    if (d >= 0 && (best < 0 || d < best))
                        best = d;
                }
            }
            p += PrototypeBytes(np);
        }
        if (best >= 0 && best < 65535)
            out->Insert(cls, best);
    }
    return true;
}

}  // namespace chareng
