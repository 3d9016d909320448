#include "CharFeatures.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "CharDictionary.h"

namespace chareng {

namespace {

constexpr int kFrame = 512;
constexpr int kGrid = 64;
constexpr int kSub = 16;           // mapping tables hold grid positions in 1/16 cells
constexpr float kGridSpan = 52.f;  // cells covered by the ink between the moment bounds
constexpr float kPi = 3.14159265358979f;

// Gaussian sampling of a 64-cell axis at n points, spacing 64 / n, sigma sqrt(2) * spacing / pi.
struct Sampler {
    int n;
    float spacing, first, reach;  // reach: 3 sigma, in cells
    float table[256];             // weight by distance in 1/8 cells
    void Init(int count) {
        n = count;
        spacing = static_cast<float>(kGrid) / n;
        first = spacing / 2;
        const float sigma = std::sqrt(2.f) * spacing / kPi;
        reach = 3 * sigma;
        for (int i = 0; i < 256; ++i) {
            const float d = i / 8.f;
            table[i] = d < reach ? std::exp(-d * d / (2 * sigma * sigma)) : 0.f;
        }
    }
    // Sample indices and weights that a position g (cells) reaches; returns their count.
    int Weights(float g, int *index, float *weight) const {
        int lo = static_cast<int>(std::ceil((g - reach - first) / spacing));
        int hi = static_cast<int>(std::floor((g + reach - first) / spacing));
        lo = std::max(lo, 0);
        hi = std::min(hi, n - 1);
        int m = 0;
        for (int k = lo; k <= hi; ++k) {
            const int d = static_cast<int>(std::fabs(g - (first + k * spacing)) * 8.f);
            if (d < 256 && table[d] > 0.f) {
                index[m] = k;
                weight[m] = table[d];
                ++m;
            }
        }
        return m;
    }
};

struct Samplers {
    Sampler s8, s12, s16;
    Samplers() {
        s8.Init(8);
        s12.Init(12);
        s16.Init(16);
    }
};

const Samplers &GetSamplers() {
    static const Samplers samplers;
    return samplers;
}

// Splits a direction (dx, dy) into the two nearest of eight directions (0 = +x, 2 = +y, ...):
// v = a e_s + b e_(s+1), a, b >= 0, for a unit vector.
inline void SplitDirection(float dx, float dy, int *s, float *a, float *b) {
    float t = std::atan2(dy, dx) * (4.f / kPi);
    if (t < 0)
        t += 8.f;
    int sector = static_cast<int>(t);
    if (sector >= 8)
        sector = 0;
    const float alpha = (t - sector) * (kPi / 4);
    constexpr float kInvSin45 = 1.41421356f;
    *s = sector;
    *a = std::sin(kPi / 4 - alpha) * kInvSin45;
    *b = std::sin(alpha) * kInvSin45;
}

struct Ink {
    float *x, *y;    // points in the 512 frame
    int *strokeEnd;  // one past the last point of each stroke
    int points = 0, strokes = 0;
};

// Reads folded pairs into strokes, dropping repeated points and empty strokes.
void ReadInk(const int16_t *pairs, float *x, float *y, int *strokeEnd, Ink *ink) {
    ink->x = x;
    ink->y = y;
    ink->strokeEnd = strokeEnd;
    int n = 0, strokes = 0, strokeStart = 0;
    for (int i = 0; i < kMaxPoints; ++i) {
        const int16_t px = pairs[2 * i], py = pairs[2 * i + 1];
        if (px == -1 && py == -1)
            break;
        if (px == -1 && py == 0) {
            if (n > strokeStart) {
                strokeEnd[strokes++] = n;
                strokeStart = n;
            }
            continue;
        }
        if (n > strokeStart && x[n - 1] == px && y[n - 1] == py)
            continue;
        x[n] = px;
        y[n] = py;
        ++n;
    }
    if (n > strokeStart)
        strokeEnd[strokes++] = n;
    ink->points = n;
    ink->strokes = strokes;
}

// Scales the ink into the 512 frame, centred, aspect kept.
void FitFrame(Ink *ink) {
    if (ink->points == 0)
        return;
    float minX = ink->x[0], maxX = minX, minY = ink->y[0], maxY = minY;
    for (int i = 1; i < ink->points; ++i) {
        minX = std::min(minX, ink->x[i]);
        maxX = std::max(maxX, ink->x[i]);
        minY = std::min(minY, ink->y[i]);
        maxY = std::max(maxY, ink->y[i]);
    }
    const float w = maxX - minX, h = maxY - minY;
    const float k = (kFrame - 1) / std::max(std::max(w, h), 1.f);
    const float ox = ((kFrame - 1) - w * k) / 2, oy = ((kFrame - 1) - h * k) / 2;
    for (int i = 0; i < ink->points; ++i) {
        ink->x[i] = (ink->x[i] - minX) * k + ox;
        ink->y[i] = (ink->y[i] - minY) * k + oy;
    }
}

// Calls f(px, py, weight) for points spread along the real strokes, weighted by the length
// they stand for; a stroke of one point counts as a short piece.
template <typename F>
void WalkInk(const Ink &ink, float step, F f) {
    int start = 0;
    for (int s = 0; s < ink.strokes; ++s) {
        const int end = ink.strokeEnd[s];
        if (end - start == 1)
            f(ink.x[start], ink.y[start], step);
        for (int i = start + 1; i < end; ++i) {
            const float dx = ink.x[i] - ink.x[i - 1], dy = ink.y[i] - ink.y[i - 1];
            const float len = std::sqrt(dx * dx + dy * dy);
            const int n = std::max(1, static_cast<int>(len / step + 0.5f));
            for (int k = 0; k < n; ++k) {
                const float t = (k + 0.5f) / n;
                f(ink.x[i - 1] + t * dx, ink.y[i - 1] + t * dy, len / n);
            }
        }
        start = end;
    }
}

struct AxisMoments {
    double sum = 0, weight = 0, below = 0, belowW = 0, above = 0, aboveW = 0;
};

// Fills one axis' mapping table (frame position -> grid position in 1/16 cells) from the
// centroid and one-sided spreads of the ink along that axis.
void BuildAxisTable(float centre, float lowSpread, float highSpread, float span, int16_t *table) {
    const float b1 = centre - 2 * std::max(lowSpread, 1.f);
    const float b2 = centre + 2 * std::max(highSpread, 1.f);
    for (int i = 0; i < kFrame; ++i) {
        const float X = static_cast<float>(i);
        const float u = X < centre ? 0.5f * (X - b1) / (centre - b1)
                                   : 0.5f + 0.5f * (X - centre) / (b2 - centre);
        float g = kGrid / 2.f + (u - 0.5f) * span;
        g = std::clamp(g, 0.f, kGrid - 1.f / kSub);
        table[i] = static_cast<int16_t>(g * kSub + 0.5f);
    }
}

void BuildMapping(const Ink &ink, int16_t *mapX, int16_t *mapY) {
    AxisMoments mx, my;
    WalkInk(ink, 4.f, [&](float px, float py, float w) {
        mx.sum += px * w;
        my.sum += py * w;
        mx.weight += w;
    });
    const double total = std::max(mx.weight, 1e-6);
    const float cx = static_cast<float>(mx.sum / total), cy = static_cast<float>(my.sum / total);
    WalkInk(ink, 4.f, [&](float px, float py, float w) {
        const double dx = px - cx, dy = py - cy;
        (dx < 0 ? mx.below : mx.above) += dx * dx * w;
        (dx < 0 ? mx.belowW : mx.aboveW) += w;
        (dy < 0 ? my.below : my.above) += dy * dy * w;
        (dy < 0 ? my.belowW : my.aboveW) += w;
    });
    auto spread = [](double sq, double w) {
        return w > 0 ? static_cast<float>(std::sqrt(sq / w)) : 0.f;
    };
    const float sxl = spread(mx.below, mx.belowW), sxh = spread(mx.above, mx.aboveW);
    const float syl = spread(my.below, my.belowW), syh = spread(my.above, my.aboveW);
    // Aspect-ratio adaptive: the longer axis fills the span, the shorter keeps a softened
    // version of its ratio, so that "-" and "|" and "o" stay apart.
    const float wx = 2 * (sxl + sxh), wy = 2 * (syl + syh);
    const float longer = std::max(wx, wy);
    float ratio = longer > 1.f ? std::min(wx, wy) / longer : 1.f;
    ratio = std::sqrt(std::sin(kPi / 2 * ratio));
    const float spanX = wx >= wy ? kGridSpan : kGridSpan * ratio;
    const float spanY = wy >= wx ? kGridSpan : kGridSpan * ratio;
    BuildAxisTable(cx, sxl, sxh, spanX, mapX);
    BuildAxisTable(cy, syl, syh, spanY, mapY);
}

inline float MapAxis(const int16_t *table, float v) {
    v = std::clamp(v, 0.f, kFrame - 1.f);
    const int i = static_cast<int>(v);
    if (i >= kFrame - 1)
        return table[kFrame - 1] * (1.f / kSub);
    const float f = v - i;
    return (table[i] + (table[i + 1] - table[i]) * f) * (1.f / kSub);
}

// Trajectory planes: acc[dir][kind][ky][kx], kind 0 real, 1 imaginary.
inline float &Plane(float *acc, int dir, int kind, int ky, int kx) {
    return acc[((dir * 2 + kind) * 8 + ky) * 8 + kx];
}

void AddTrajectoryPiece(const int16_t *mapX, const int16_t *mapY, const Samplers &sm, float x0,
                        float y0, float x1, float y1, int kind, float *acc) {
    const float dx = x1 - x0, dy = y1 - y0;
    const float len = std::sqrt(dx * dx + dy * dy);
    if (len < 0.5f)
        return;
    int s;
    float a, b;
    SplitDirection(dx, dy, &s, &a, &b);
    const int s2 = (s + 1) & 7;
    const float gx0 = MapAxis(mapX, x0), gy0 = MapAxis(mapY, y0);
    const float gx1 = MapAxis(mapX, x1), gy1 = MapAxis(mapY, y1);
    const float glen = std::sqrt((gx1 - gx0) * (gx1 - gx0) + (gy1 - gy0) * (gy1 - gy0));
    const int n = std::max(1, static_cast<int>(std::ceil(glen / 0.7f)));
    const float w = len / n;
    int ix[8], iy[8];
    float wx[8], wy[8];
    for (int k = 0; k < n; ++k) {
        const float t = (k + 0.5f) / n;
        const float gx = MapAxis(mapX, x0 + t * dx), gy = MapAxis(mapY, y0 + t * dy);
        const int nx = sm.s8.Weights(gx, ix, wx), ny = sm.s8.Weights(gy, iy, wy);
        for (int j = 0; j < ny; ++j) {
            for (int i = 0; i < nx; ++i) {
                const float g = wx[i] * wy[j] * w;
                Plane(acc, s, kind, iy[j], ix[i]) += a * g;
                Plane(acc, s2, kind, iy[j], ix[i]) += b * g;
            }
        }
    }
}

// Square-root transform of each value's share of the total, onto 0..kFeatureScale.
void Quantise(const float *v, int count, double total, int16_t *out) {
    const double k = total > 1e-9 ? 1.0 / total : 0.0;
    for (int i = 0; i < count; ++i) {
        const double share = std::max(0.0, static_cast<double>(v[i]) * k);
        const long q = std::lround(std::sqrt(share) * kFeatureScale);
        out[i] = static_cast<int16_t>(std::min(q, 32767L));
    }
}

void GridFeatures(const Ink &ink, const int16_t *mapX, const int16_t *mapY, const Samplers &sm,
                  float *acc, int16_t *out) {
    std::memset(acc, 0, sizeof(float) * kGridFeatureCount);
    double total = 0;
    int start = 0;
    for (int s = 0; s < ink.strokes; ++s) {
        const int end = ink.strokeEnd[s];
        for (int i = start + 1; i < end; ++i) {
            AddTrajectoryPiece(mapX, mapY, sm, ink.x[i - 1], ink.y[i - 1], ink.x[i], ink.y[i], 0,
                               acc);
            const float dx = ink.x[i] - ink.x[i - 1], dy = ink.y[i] - ink.y[i - 1];
            total += std::sqrt(dx * dx + dy * dy);
        }
        if (s + 1 < ink.strokes) {
            AddTrajectoryPiece(mapX, mapY, sm, ink.x[end - 1], ink.y[end - 1], ink.x[end],
                               ink.y[end], 1, acc);
        }
        start = end;
    }
    // Plane order (dir, kind) -> output order: block a holds direction a then a + 4.
    int16_t planes[kGridFeatureCount];
    Quantise(acc, kGridFeatureCount, total, planes);
    for (int dir = 0; dir < 8; ++dir) {
        const int block = dir & 3, half = dir >> 2;
        for (int kind = 0; kind < 2; ++kind) {
            std::memcpy(out + block * 256 + half * 128 + kind * 64, planes + (dir * 2 + kind) * 64,
                        64 * sizeof(int16_t));
        }
    }
}

void RenderFeatures(const Ink &ink, const int16_t *mapX, const int16_t *mapY, const Samplers &sm,
                    float *image, float *acc, int16_t *out) {
    std::memset(image, 0, sizeof(float) * kGrid * kGrid);
    auto splat = [&](float gx, float gy, float w) {
        gx -= 0.5f;
        gy -= 0.5f;
        const int x0 = static_cast<int>(std::floor(gx)), y0 = static_cast<int>(std::floor(gy));
        const float fx = gx - x0, fy = gy - y0;
        for (int j = 0; j < 2; ++j) {
            const int yy = y0 + j;
            if (yy < 0 || yy >= kGrid)
                continue;
            for (int i = 0; i < 2; ++i) {
                const int xx = x0 + i;
                if (xx < 0 || xx >= kGrid)
                    continue;
                image[yy * kGrid + xx] += w * (i ? fx : 1 - fx) * (j ? fy : 1 - fy);
            }
        }
    };
    int start = 0;
    for (int s = 0; s < ink.strokes; ++s) {
        const int end = ink.strokeEnd[s];
        if (end - start == 1)
            splat(MapAxis(mapX, ink.x[start]), MapAxis(mapY, ink.y[start]), 1.f);
        for (int i = start + 1; i < end; ++i) {
            const float gx0 = MapAxis(mapX, ink.x[i - 1]), gy0 = MapAxis(mapY, ink.y[i - 1]);
            const float gx1 = MapAxis(mapX, ink.x[i]), gy1 = MapAxis(mapY, ink.y[i]);
            const float glen = std::hypot(gx1 - gx0, gy1 - gy0);
            const int n = std::max(1, static_cast<int>(std::ceil(glen / 0.5f)));
            for (int k = 0; k < n; ++k) {
                const float t = (k + 0.5f) / n;
                splat(gx0 + t * (gx1 - gx0), gy0 + t * (gy1 - gy0), glen / n);
            }
        }
        start = end;
    }
    // Gradient directions at 8 x 8 (acc[0..511]) and 12 x 12 (acc[512..1663]), density at
    // 16 x 16 (acc[1664..1919]).
    std::memset(acc, 0, sizeof(float) * kRenderFeatureCount);
    float *g8 = acc, *g12 = acc + 512, *dens = acc + 1664;
    double gradTotal = 0, inkTotal = 0;
    int ix[16], iy[16];
    float wx[16], wy[16];
    auto px = [&](int x, int y) {
        return (x < 0 || y < 0 || x >= kGrid || y >= kGrid) ? 0.f : image[y * kGrid + x];
    };
    for (int y = 0; y < kGrid; ++y) {
        for (int x = 0; x < kGrid; ++x) {
            const float v = image[y * kGrid + x];
            const float cx = x + 0.5f, cy = y + 0.5f;
            if (v > 0.f) {
                inkTotal += v;
                const int nx = sm.s16.Weights(cx, ix, wx), ny = sm.s16.Weights(cy, iy, wy);
                for (int j = 0; j < ny; ++j)
                    for (int i = 0; i < nx; ++i)
                        dens[iy[j] * 16 + ix[i]] += v * wx[i] * wy[j];
            }
            const float gx = (px(x + 1, y - 1) + 2 * px(x + 1, y) + px(x + 1, y + 1)) -
                             (px(x - 1, y - 1) + 2 * px(x - 1, y) + px(x - 1, y + 1));
            const float gy = (px(x - 1, y + 1) + 2 * px(x, y + 1) + px(x + 1, y + 1)) -
                             (px(x - 1, y - 1) + 2 * px(x, y - 1) + px(x + 1, y - 1));
            const float m = std::sqrt(gx * gx + gy * gy);
            if (m < 1e-4f)
                continue;
            gradTotal += m;
            int s;
            float a, b;
            SplitDirection(gx, gy, &s, &a, &b);
            const int s2 = (s + 1) & 7;
            int nx = sm.s8.Weights(cx, ix, wx), ny = sm.s8.Weights(cy, iy, wy);
            for (int j = 0; j < ny; ++j) {
                for (int i = 0; i < nx; ++i) {
                    const float g = m * wx[i] * wy[j];
                    g8[(s * 8 + iy[j]) * 8 + ix[i]] += a * g;
                    g8[(s2 * 8 + iy[j]) * 8 + ix[i]] += b * g;
                }
            }
            nx = sm.s12.Weights(cx, ix, wx);
            ny = sm.s12.Weights(cy, iy, wy);
            for (int j = 0; j < ny; ++j) {
                for (int i = 0; i < nx; ++i) {
                    const float g = m * wx[i] * wy[j];
                    g12[(s * 12 + iy[j]) * 12 + ix[i]] += a * g;
                    g12[(s2 * 12 + iy[j]) * 12 + ix[i]] += b * g;
                }
            }
        }
    }
    Quantise(g8, 512 + 1152, gradTotal, out);
    Quantise(dens, 255, inkTotal, out + 1664);
    out[kRenderFeatureCount - 1] = kConstantFeature;
}

}  // namespace

void ReverseGridFeatures(const int16_t *r1, int16_t *r2) {
    for (int block = 0; block < 4; ++block) {
        std::memcpy(r2 + block * 256, r1 + block * 256 + 128, 128 * sizeof(int16_t));
        std::memcpy(r2 + block * 256 + 128, r1 + block * 256, 128 * sizeof(int16_t));
    }
}

bool ComputeRawFeatures(const int16_t *pairs, ScratchPool &pool, int16_t *r1, int16_t *r2) {
    const Samplers &sm = GetSamplers();
    ScratchArray<float> xs(pool, kMaxPoints), ys(pool, kMaxPoints);
    ScratchArray<int> ends(pool, kMaxPoints);
    ScratchArray<int16_t> map(pool, 2 * kFrame);
    ScratchArray<float> acc(pool, kRenderFeatureCount);
    ScratchArray<float> image(pool, kGrid * kGrid);
    if (!xs || !ys || !ends || !map || !acc || !image)
        return false;
    Ink ink;
    ReadInk(pairs, xs.get(), ys.get(), ends.get(), &ink);
    std::memset(r1, 0, sizeof(int16_t) * kRawFeatureCount);
    if (ink.points > 0) {
        FitFrame(&ink);
        BuildMapping(ink, map.get(), map.get() + kFrame);
        GridFeatures(ink, map.get(), map.get() + kFrame, sm, acc.get(), r1);
        RenderFeatures(ink, map.get(), map.get() + kFrame, sm, image.get(), acc.get(),
                       r1 + kGridFeatureCount);
    }
    r1[kRawFeatureCount - 1] = kConstantFeature;
    if (r2) {
        // The rendering does not depend on pen direction: R2 shares it.
        ReverseGridFeatures(r1, r2);
        std::memcpy(r2 + kGridFeatureCount, r1 + kGridFeatureCount,
                    sizeof(int16_t) * kRenderFeatureCount);
    }
    return true;
}

}  // namespace chareng
