#include "InkFeatures.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace v7train {

namespace {

constexpr int kHeight = 64;
constexpr int kMaxStrokes = 10239;
constexpr int kMaxWidth = 10240;
constexpr int kMaxFrames = 1024000;
constexpr int kGapColumns = 21;
constexpr int kReach = 32;
constexpr float kNone = 33;

struct Pt {
    int32_t x, y;
};

struct StrokeRec {
    int first, count;  // into the point array
    int minX, minY, maxX, maxY;
    int cx, cy;
    int segment;
};

float InvSqrt(float s) {
    uint32_t bits;
    std::memcpy(&bits, &s, 4);
    bits = 0x5F375A86u - (bits >> 1);
    float r;
    std::memcpy(&r, &bits, 4);
    for (int i = 0; i < 3; ++i)
        r = r * (1.5f - 0.5f * s * r * r);
    return r;
}

float Distance(float x1, float y1, float x2, float y2) {
    float dx = x2 - x1, dy = y2 - y1;
    if (dx == 0)
        return std::fabs(dy);
    if (dy == 0)
        return std::fabs(dx);
    float s = dx * dx + dy * dy;
    return s * InvSqrt(s);
}

int ScaleValue(int v, int lo, int hi, int n) {
    if (v <= lo)
        return lo;
    if (v >= hi)
        return lo + n - 1;
    if (lo == hi || n == 1)
        return lo;
    return lo + (n - 1) * (v - lo) / (hi - lo);
}

int ScaledWidth(int width, int height) {
    int w = int(64.0f * float(width) / float(height) + 0.5f);
    return w == 0 ? 1 : w;
}

void StrokeBox(const std::vector<Pt> &pts, StrokeRec &s) {
    s.minX = s.minY = INT32_MAX;
    s.maxX = s.maxY = INT32_MIN;
    for (int i = s.first; i < s.first + s.count; ++i) {
        s.minX = std::min(s.minX, pts[i].x);
        s.maxX = std::max(s.maxX, pts[i].x);
        s.minY = std::min(s.minY, pts[i].y);
        s.maxY = std::max(s.maxY, pts[i].y);
    }
}

struct Frame {
    int prev, cur;  // point indexes
    int pen;
    float x, y, dx, dy, step, sn, cs, tsn, tcs;
    float left, right, below, above, colc;
};

int SegmentFramesOf(std::vector<Pt> &pts, std::vector<StrokeRec> &strokes, int first, int n,
                    SegmentFrames &out) {
    // Box of the segment and its own normalisation.
    int minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
    for (int k = first; k < first + n; ++k) {
        minX = std::min(minX, strokes[k].minX);
        minY = std::min(minY, strokes[k].minY);
        maxX = std::max(maxX, strokes[k].maxX);
        maxY = std::max(maxY, strokes[k].maxY);
    }
    int width = maxX - minX + 1, height = maxY - minY + 1;
    if (width > kMaxWidth)
        return kFeaturesBadArgument;
    for (int k = first; k < first + n; ++k) {
        StrokeRec &s = strokes[k];
        for (int i = s.first; i < s.first + s.count; ++i) {
            pts[i].x -= minX;
            pts[i].y -= minY;
        }
    }
    if (height < 2) {
        for (int k = first; k < first + n; ++k) {
            StrokeRec &s = strokes[k];
            for (int i = s.first; i < s.first + s.count; ++i)
                pts[i].y += (kHeight - height) / 2;
        }
    } else {
        int w2 = ScaledWidth(width, height);
        for (int k = first; k < first + n; ++k) {
            StrokeRec &s = strokes[k];
            for (int i = s.first; i < s.first + s.count; ++i) {
                pts[i].x = ScaleValue(pts[i].x, 0, width - 1, w2);
                pts[i].y = ScaleValue(pts[i].y, 0, height - 1, kHeight);
            }
        }
    }
    for (int k = first; k < first + n; ++k)
        StrokeBox(pts, strokes[k]);
    minX = minY = INT32_MAX;
    maxX = maxY = INT32_MIN;
    for (int k = first; k < first + n; ++k) {
        minX = std::min(minX, strokes[k].minX);
        minY = std::min(minY, strokes[k].minY);
        maxX = std::max(maxX, strokes[k].maxX);
        maxY = std::max(maxY, strokes[k].maxY);
    }
    if (maxX - minX + 1 > kMaxWidth)
        return kFeaturesBadArgument;

    // Strokes by centre x; the first strictly smallest remaining one is taken at each place.
    std::vector<int> order(n);
    for (int k = 0; k < n; ++k)
        order[k] = first + k;
    for (int i = 0; i < n; ++i) {
        int best = i;
        for (int j = i + 1; j < n; ++j)
            if (strokes[order[j]].cx < strokes[order[best]].cx)
                best = j;
        if (best != i) {
            int moved = order[best];
            // Selection by taking out and inserting keeps the others' relative order.
            for (int j = best; j > i; --j)
                order[j] = order[j - 1];
            order[i] = moved;
        }
    }

    std::vector<Frame> frames;
    for (int k : order) {
        const StrokeRec &s = strokes[k];
        size_t strokeStart = frames.size();
        Pt p0 = pts[s.first];
        Frame f0{s.first, s.first, 0, float(p0.x), float(p0.y), 0, 0, 0, 0, 1, 0, 1};
        frames.push_back(f0);
        if (s.count == 1) {
            Frame f1 = f0;
            f1.pen = 2;
            frames.push_back(f1);
        }
        for (int i = s.first + 1; i < s.first + s.count; ++i) {
            Pt a = pts[i - 1], b = pts[i];
            float L = Distance(float(a.x), float(a.y), float(b.x), float(b.y));
            int m = int(L + 0.5f);
            if (m == 0 || frames.size() + size_t(m) > size_t(kMaxFrames))
                return kFeaturesBadArgument;
            float ddx = float(b.x - a.x) / float(m), ddy = float(b.y - a.y) / float(m);
            float sn = float(b.y - a.y) / L, cs = float(b.x - a.x) / L;
            for (int q = 1; q <= m; ++q) {
                Frame f{i - 1,
                        i,
                        1,
                        float(a.x) + float(q) * ddx,
                        float(a.y) + float(q) * ddy,
                        ddx,
                        ddy,
                        L / float(m),
                        sn,
                        cs,
                        0,
                        1};
                if (q == 1) {
                    const Frame &pf = frames.back();
                    f.tsn = cs * pf.sn - pf.cs * sn;
                    f.tcs = sn * pf.sn + cs * pf.cs;
                }
                frames.push_back(f);
            }
        }
        frames.back().pen = 2;
        (void)strokeStart;
    }

    // Distances to other ink in the four directions.
    for (Frame &f : frames) {
        float left = kNone, right = kNone, below = kNone, above = kNone;
        float x = f.x, y = f.y;
        for (int k = first; k < first + n; ++k) {
            const StrokeRec &s = strokes[k];
            if (s.count == 1) {
                int pi = s.first;
                if (pi == f.prev || pi == f.cur)
                    continue;
                float px = float(pts[pi].x), py = float(pts[pi].y);
                if (py == y) {
                    if (x - kReach <= px && px <= x)
                        left = std::min(left, x - px);
                    if (x <= px && px <= x + kReach)
                        right = std::min(right, px - x);
                }
                if (px == x) {
                    if (y <= py && py <= y + kReach)
                        below = std::min(below, py - y);
                    if (y - kReach <= py && py <= y)
                        above = std::min(above, y - py);
                }
                continue;
            }
            for (int i = s.first + 1; i < s.first + s.count; ++i) {
                if (i - 1 == f.cur || i == f.cur)
                    continue;
                Pt a = pts[i - 1], b = pts[i];
                int Y = int(y);
                if (a.y != b.y && std::min(a.y, b.y) <= Y && Y <= std::max(a.y, b.y)) {
                    int X = (b.x - a.x) * (Y - a.y) / (b.y - a.y) + a.x;
                    float fx = float(X);
                    if (x - kReach <= fx && fx <= x)
                        left = std::min(left, x - fx);
                    if (x <= fx && fx <= x + kReach)
                        right = std::min(right, fx - x);
                }
                int X = int(x);
                if (a.x != b.x && std::min(a.x, b.x) <= X && X <= std::max(a.x, b.x)) {
                    int Y2 = (b.y - a.y) * (X - a.x) / (b.x - a.x) + a.y;
                    float fy = float(Y2);
                    if (y <= fy && fy <= y + kReach)
                        below = std::min(below, fy - y);
                    if (y - kReach <= fy && fy <= y)
                        above = std::min(above, y - fy);
                }
            }
        }
        f.left = left;
        f.right = right;
        f.below = below;
        f.above = above;
    }

    // Centre height of the ink around each column.
    int columns = maxX - minX + 1;
    std::vector<float> centre(static_cast<size_t>(columns));
    for (int X = minX; X <= maxX; ++X) {
        int lo = X - kReach, hi = X + kReach;
        uint32_t sum = 0, weight = 0;
        for (int k = first; k < first + n; ++k) {
            const StrokeRec &s = strokes[k];
            if (s.count == 1) {
                Pt p = pts[s.first];
                if (p.x >= lo && p.x <= hi && p.y >= minY && p.y <= maxY) {
                    sum += uint32_t(p.y);
                    weight += 1;
                }
                continue;
            }
            for (int i = s.first + 1; i < s.first + s.count; ++i) {
                Pt a = pts[i - 1], b = pts[i];
                int x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x);
                if (x1 < lo || x0 > hi)
                    continue;
                int ov = std::min(x1, hi) - std::max(x0, lo);
                float L = Distance(float(a.x), float(a.y), float(b.x), float(b.y));
                uint32_t u = uint32_t(100 * L + 0.5f) * uint32_t(ov + 1) / uint32_t(x1 - x0 + 1);
                sum += uint32_t(a.y + b.y) * u / 2;
                weight += u;
            }
        }
        centre[size_t(X - minX)] = weight ? float(sum / weight) : float((minY + maxY) / 2);
    }
    for (Frame &f : frames) {
        int col = f.x < 0 ? int(f.x - 0.5f) : int(f.x + 0.5f);
        col = std::clamp(col, minX, maxX);
        f.colc = centre[size_t(col - minX)];
    }

    out.frames = int(frames.size());
    out.values.resize(frames.size() * kFrameInputs);
    float *v = out.values.data();
    for (const Frame &f : frames) {
        const float row[kFrameInputs] = {float(f.pen), f.y,     f.dx,    f.dy,   f.step,
                                         f.sn,         f.cs,    f.tsn,   f.tcs,  f.left,
                                         f.right,      f.below, f.above, f.colc, f.y - f.colc};
        std::memcpy(v, row, sizeof row);
        v += kFrameInputs;
    }
    return kFeaturesOk;
}

}  // namespace

int ComputeFrames(const int32_t *points, int count, bool single,
                  std::vector<SegmentFrames> &segments) {
    segments.clear();
    if (!points || count < 1)
        return kFeaturesBadArgument;
    // Validation walk: 0 start, 1 in stroke, 2 after a stroke end.
    int state = 0, walked = 0;
    bool ended = false;
    for (int i = 0; i < count && !ended; ++i) {
        int32_t x = points[2 * i], y = points[2 * i + 1];
        ++walked;
        if (x >= 0 && y >= 0) {
            state = 1;
        } else if (x == -1 && y == 0) {
            if (state != 1)
                return kFeaturesMalformedInk;
            state = 2;
        } else if (x == -1 && y == -1) {
            if (state != 2)
                return kFeaturesMalformedInk;
            ended = true;
        } else {
            return kFeaturesMalformedInk;
        }
    }
    if (!ended)
        return kFeaturesMalformedInk;
    if (walked != count)
        return kFeaturesBadArgument;

    // Real points and stroke ends (-1 marks the end of a stroke).
    std::vector<Pt> raw;
    raw.reserve(size_t(count));
    int minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
    for (int i = 0; i < count - 1; ++i) {
        Pt p{points[2 * i], points[2 * i + 1]};
        raw.push_back(p);
        if (p.x >= 0) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    }
    if (minX > maxX)
        return kFeaturesBadArgument;
    int width = maxX - minX + 1, height = maxY - minY + 1;
    int w2 = height < 2 ? width : ScaledWidth(width, height);
    for (Pt &p : raw) {
        if (p.x < 0)
            continue;
        p.x -= minX;
        p.y -= minY;
        if (height < 2) {
            p.y += (kHeight - height) / 2;
        } else {
            p.x = ScaleValue(p.x, 0, width - 1, w2);
            p.y = ScaleValue(p.y, 0, height - 1, kHeight);
        }
    }
    // Drop pairs equal to the one before; build the stroke table.
    std::vector<Pt> pts;
    std::vector<StrokeRec> strokes;
    int start = 0;
    bool have = false;
    Pt last{-2, -2};
    for (const Pt &p : raw) {
        if (p.x == last.x && p.y == last.y)
            continue;
        last = p;
        if (p.x < 0) {
            if (have) {
                StrokeRec s{};
                s.first = start;
                s.count = int(pts.size()) - start;
                strokes.push_back(s);
            }
            have = false;
            continue;
        }
        if (!have)
            start = int(pts.size());
        have = true;
        pts.push_back(p);
    }
    if (pts.empty())
        return kFeaturesBadArgument;
    if (int(strokes.size()) > kMaxStrokes)
        return kFeaturesBadArgument;
    int gMaxX = 0, gMaxY = 0, gMinX = INT32_MAX, gMinY = INT32_MAX;
    for (StrokeRec &s : strokes) {
        StrokeBox(pts, s);
        gMinX = std::min(gMinX, s.minX);
        gMaxX = std::max(gMaxX, s.maxX);
        gMinY = std::min(gMinY, s.minY);
        gMaxY = std::max(gMaxY, s.maxY);
        if (s.count == 1) {
            s.cx = pts[s.first].x;
            s.cy = pts[s.first].y;
            continue;
        }
        uint32_t sw = 0, sx = 0, sy = 0;
        for (int i = s.first + 1; i < s.first + s.count; ++i) {
            Pt a = pts[i - 1], b = pts[i];
            uint32_t w =
                uint32_t(100 * Distance(float(a.x), float(a.y), float(b.x), float(b.y)) + 0.5f);
            sw += w;
            sx += w * uint32_t((a.x + b.x) / 2);
            sy += w * uint32_t((a.y + b.y) / 2);
        }
        s.cx = int(sx / sw);
        s.cy = int(sy / sw);
    }

    // Segments: pieces of the line separated by at least 21 empty columns.
    int nSeg = 1;
    int wWidth = gMaxX - gMinX + 1, wHeight = gMaxY - gMinY + 1;
    if (!single && wHeight < wWidth) {
        if (wWidth > kMaxWidth)
            return kFeaturesBadArgument;
        std::vector<char> used(size_t(wWidth), 0);
        for (const StrokeRec &s : strokes)
            for (int x = s.minX; x <= s.maxX; ++x)
                used[size_t(x - gMinX)] = 1;
        for (StrokeRec &s : strokes)
            s.segment = -1;
        int segStart = gMinX, empty = 0, index = 0;
        for (int x = gMinX; x <= gMaxX; ++x) {
            if (used[size_t(x - gMinX)]) {
                empty = 0;
                continue;
            }
            if (++empty == kGapColumns) {
                for (StrokeRec &s : strokes)
                    if (s.segment < 0 && s.minX >= segStart && s.maxX <= x)
                        s.segment = index;
                ++index;
                segStart = x + 1;
            }
        }
        for (StrokeRec &s : strokes)
            if (s.segment < 0)
                s.segment = index;
        nSeg = index + 1;
        std::stable_sort(
            strokes.begin(), strokes.end(),
            [](const StrokeRec &a, const StrokeRec &b) { return a.segment < b.segment; });
    } else {
        for (StrokeRec &s : strokes)
            s.segment = 0;
    }
    size_t k = 0;
    while (k < strokes.size()) {
        size_t e = k;
        while (e < strokes.size() && strokes[e].segment == strokes[k].segment)
            ++e;
        SegmentFrames seg;
        int rc = SegmentFramesOf(pts, strokes, int(k), int(e - k), seg);
        if (rc != kFeaturesOk)
            return rc;
        segments.push_back(std::move(seg));
        k = e;
    }
    (void)nSeg;
    return kFeaturesOk;
}

}  // namespace v7train
