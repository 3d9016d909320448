#include "InkAugmenter.h"

#include <algorithm>
#include <cmath>

namespace chartrain {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBox = 1000;  // working box of the clean ink

double Uniform(std::mt19937_64 &rng, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}
double Normal(std::mt19937_64 &rng, double sigma) {
    if (!(sigma > 0))
        return 0.0;
    return std::normal_distribution<double>(0.0, sigma)(rng);
}
bool Chance(std::mt19937_64 &rng, double p) {
    return Uniform(rng, 0, 1) < p;
}

double StrokeLength(const Stroke &s) {
    double len = 0;
    for (size_t i = 1; i < s.size(); ++i)
        len += std::hypot(s[i].x - s[i - 1].x, s[i].y - s[i - 1].y);
    return len;
}

// Scales the ink into the working box, centred at the origin, aspect kept.
Ink Normalise(const Ink &clean) {
    double x0, y0, x1, y1;
    Ink ink = clean;
    if (!InkBounds(ink, &x0, &y0, &x1, &y1))
        return ink;
    const double k = kBox / std::max({x1 - x0, y1 - y0, 1e-6});
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    for (Stroke &s : ink)
        for (Pt &p : s)
            p = {(p.x - cx) * k, (p.y - cy) * k};
    return ink;
}

}  // namespace

uint64_t SampleSeed(uint64_t seed, uint32_t cls, uint32_t index) {
    uint64_t z = seed ^ (static_cast<uint64_t>(cls) << 32) ^ index;
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

WriterStyle RandomStyle(std::mt19937_64 &rng, double strength) {
    WriterStyle w;
    const double s = strength;
    w.slant = Normal(rng, 0.12 * s);
    w.rotation = Normal(rng, 0.06 * s);
    w.aspect = std::exp(Normal(rng, 0.10 * s));
    w.elastic = std::abs(Normal(rng, 0.025 * s));
    w.strokeShift = std::abs(Normal(rng, 0.025 * s));
    w.strokeScale = std::abs(Normal(rng, 0.06 * s));
    w.jitter = std::abs(Normal(rng, 0.6 * s));
    // A third of the writers join strokes, some of them a lot.
    w.joinProb = Chance(rng, 0.35) ? Uniform(rng, 0.1, std::min(0.9, 0.5 * s + 0.1)) : 0.0;
    w.reverseProb = Chance(rng, 0.3) ? Uniform(rng, 0.02, 0.15 * s) : 0.0;
    w.swapProb = Chance(rng, 0.3) ? Uniform(rng, 0.02, 0.12 * s) : 0.0;
    w.breakProb = Chance(rng, 0.2) ? Uniform(rng, 0.02, 0.15 * s) : 0.0;
    w.sizePx = Uniform(rng, 60, 400);
    w.stepPx = Uniform(rng, 1.5, 5.0);
    return w;
}

Ink Augment(const Ink &clean, const WriterStyle &style, const AugmentLimits &limits,
            std::mt19937_64 &rng) {
    Ink ink = Normalise(clean);
    ink = Resample(ink, 6.0, false);

    // Per-stroke displacement and size.
    for (Stroke &s : ink) {
        if (s.empty())
            continue;
        double cx = 0, cy = 0;
        for (const Pt &p : s) {
            cx += p.x;
            cy += p.y;
        }
        cx /= s.size();
        cy /= s.size();
        const double dx = Normal(rng, style.strokeShift * kBox);
        const double dy = Normal(rng, style.strokeShift * kBox);
        const double k = 1 + Normal(rng, style.strokeScale);
        for (Pt &p : s)
            p = {cx + (p.x - cx) * k + dx, cy + (p.y - cy) * k + dy};
    }

    // Elastic distortion: a smooth random displacement field of a few waves.
    struct Wave {
        double fx, fy, phase, ax, ay;
    } waves[3];
    for (Wave &w : waves) {
        w = {Uniform(rng, -1.5, 1.5), Uniform(rng, -1.5, 1.5), Uniform(rng, 0, 2 * kPi),
             Normal(rng, style.elastic * kBox), Normal(rng, style.elastic * kBox)};
    }
    for (Stroke &s : ink) {
        for (Pt &p : s) {
            double dx = 0, dy = 0;
            for (const Wave &w : waves) {
                const double a = 2 * kPi * (w.fx * p.x + w.fy * p.y) / kBox + w.phase;
                dx += w.ax * std::sin(a);
                dy += w.ay * std::cos(a);
            }
            p = {p.x + dx, p.y + dy};
        }
    }

    // Slant, rotation, aspect.
    const double rot = style.rotation * limits.rotationScale;
    const double c = std::cos(rot), sn = std::sin(rot);
    for (Stroke &s : ink) {
        for (Pt &p : s) {
            double x = p.x + style.slant * -p.y;  // forward slant leans the top to the right
            double y = p.y;
            x *= style.aspect;
            p = {x * c - y * sn, x * sn + y * c};
        }
    }

    // Stroke order and direction.
    if (limits.allowReorder) {
        for (size_t i = 0; i + 1 < ink.size(); ++i) {
            if (Chance(rng, style.swapProb))
                std::swap(ink[i], ink[i + 1]);
        }
    }
    if (limits.allowReverse) {
        for (Stroke &s : ink) {
            if (Chance(rng, style.reverseProb))
                std::reverse(s.begin(), s.end());
        }
    }
    // Broken strokes: the pen lifts for a moment in the middle of a long stroke.
    if (limits.allowBreak && style.breakProb > 0) {
        Ink out;
        for (Stroke &s : ink) {
            if (s.size() > 8 && StrokeLength(s) > 0.3 * kBox && Chance(rng, style.breakProb)) {
                const size_t at = static_cast<size_t>(Uniform(rng, 0.3, 0.7) * s.size());
                const size_t gap = std::max<size_t>(1, s.size() / 12);
                out.emplace_back(s.begin(), s.begin() + at);
                if (at + gap < s.size())
                    out.emplace_back(s.begin() + at + gap, s.end());
            } else {
                out.push_back(std::move(s));
            }
        }
        ink.swap(out);
    }
    // Cursive: the pen stays down from the end of a stroke to the start of the next.
    if (limits.allowJoin && style.joinProb > 0 && ink.size() > 1) {
        Ink out;
        out.push_back(ink[0]);
        for (size_t i = 1; i < ink.size(); ++i) {
            if (!out.back().empty() && !ink[i].empty() && Chance(rng, style.joinProb)) {
                Stroke &prev = out.back();
                const Pt a = prev.back(), b = ink[i].front();
                // A slightly bowed connection.
                const double bow = Normal(rng, 0.12);
                const double nx = -(b.y - a.y), ny = b.x - a.x;
                for (int k = 1; k < 6; ++k) {
                    const double t = k / 6.0;
                    const double h = bow * 4 * t * (1 - t);
                    prev.push_back(
                        {a.x + t * (b.x - a.x) + h * nx, a.y + t * (b.y - a.y) + h * ny});
                }
                prev.insert(prev.end(), ink[i].begin(), ink[i].end());
            } else {
                out.push_back(ink[i]);
            }
        }
        ink.swap(out);
    }

    // Into the writing box, sampled like a digitiser, with jitter.
    double x0, y0, x1, y1;
    if (!InkBounds(ink, &x0, &y0, &x1, &y1))
        return ink;
    const double k = style.sizePx / kBox;
    const double ox = Uniform(rng, 5, 60) - x0 * k, oy = Uniform(rng, 5, 60) - y0 * k;
    for (Stroke &s : ink)
        for (Pt &p : s)
            p = {p.x * k + ox, p.y * k + oy};
    // A digitiser reports a few hundred points for one character, however complex it is.
    double total = 0;
    for (const Stroke &s : ink)
        for (size_t i = 1; i < s.size(); ++i)
            total += std::hypot(s[i].x - s[i - 1].x, s[i].y - s[i - 1].y);
    ink = Resample(ink, std::max(style.stepPx, total / 600.0), true);
    for (Stroke &s : ink) {
        for (Pt &p : s) {
            p.x = std::max(0.0, p.x + Normal(rng, style.jitter));
            p.y = std::max(0.0, p.y + Normal(rng, style.jitter));
        }
    }
    return ink;
}

}  // namespace chartrain
