#include "InkAugmenter.h"

#include <algorithm>
#include <cmath>

#include "inksynth/Augment.h"
#include "inksynth/TextComposer.h"
#include "inksynth/WriterStyle.h"

namespace chartrain {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The character is laid out in a box of this many x-height units: inksynth's pen model bends
// the writing with waves of 3 x-heights (0.6 to 1.6 times that), so that they are about as
// long as the box.
constexpr float kBox = 3.0f;

double Normal(inksynth::Random &rng, double sd) {
    return sd > 0 ? rng.Normal(0, sd) : 0.0;
}

// Points spaced `step` apart along each stroke, its ends kept: the distortions below then act
// evenly along the strokes however the source spaced its points.
inksynth::Stroke EvenlySpaced(const inksynth::Stroke &s, float step) {
    if (s.size() < 2)
        return s;
    inksynth::Stroke out{s.front()};
    float carry = 0;
    for (size_t i = 1; i < s.size(); ++i) {
        const inksynth::Point a = s[i - 1], b = s[i];
        const float len = std::hypot(b.x - a.x, b.y - a.y);
        float at = step - carry;
        while (at <= len) {
            const float t = at / len;
            out.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
            at += step;
        }
        carry = len - (at - step);
    }
    if (std::hypot(out.back().x - s.back().x, out.back().y - s.back().y) > step * 0.3f)
        out.push_back(s.back());
    else
        out.back() = s.back();
    return out;
}

// The clean drawing in the layout box, centred at the origin, aspect kept, evenly spaced.
inksynth::Ink Layout(const Ink &clean) {
    inksynth::Ink ink{clean};
    const inksynth::Box box = inksynth::BoundsOf(ink);
    if (box.empty)
        return ink;
    const float k = kBox / std::max({box.Width(), box.Height(), 1e-6f});
    const float cx = (box.minX + box.maxX) / 2, cy = (box.minY + box.maxY) / 2;
    for (inksynth::Stroke &s : ink.strokes) {
        for (inksynth::Point &p : s)
            p = {(p.x - cx) * k, (p.y - cy) * k};
        s = EvenlySpaced(s, kBox / 160);
    }
    return ink;
}

float Degrees(double radians) {
    return static_cast<float>(radians * 180 / kPi);
}

}  // namespace

uint64_t SampleSeed(uint64_t seed, uint32_t cls, uint32_t index) {
    uint64_t z = seed ^ (static_cast<uint64_t>(cls) << 32) ^ index;
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

WriterStyle RandomStyle(inksynth::Random &rng, double strength) {
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
    w.joinProb = rng.Chance(0.35) ? rng.Uniform(0.1, std::min(0.9, 0.5 * s + 0.1)) : 0.0;
    w.reverseProb = rng.Chance(0.3) ? rng.Uniform(0.02, 0.15 * s) : 0.0;
    w.swapProb = rng.Chance(0.3) ? rng.Uniform(0.02, 0.12 * s) : 0.0;
    w.breakProb = rng.Chance(0.2) ? rng.Uniform(0.02, 0.15 * s) : 0.0;
    w.sizePx = rng.Uniform(60, 400);
    w.stepPx = rng.Uniform(1.5, 5.0);
    w.slowdown = rng.Uniform(0.0, 0.6);
    w.rounding = rng.Uniform(0.0, 0.6);
    return w;
}

std::vector<int16_t> Augment(const Ink &clean, const WriterStyle &style,
                             const AugmentLimits &limits, inksynth::Random &rng) {
    inksynth::Ink ink = Layout(clean);
    std::vector<inksynth::Stroke> &strokes = ink.strokes;

    // Per-stroke displacement and size.
    for (inksynth::Stroke &s : strokes) {
        if (s.empty())
            continue;
        float cx = 0, cy = 0;
        for (const inksynth::Point &p : s) {
            cx += p.x;
            cy += p.y;
        }
        cx /= static_cast<float>(s.size());
        cy /= static_cast<float>(s.size());
        const float dx = static_cast<float>(Normal(rng, style.strokeShift * kBox));
        const float dy = static_cast<float>(Normal(rng, style.strokeShift * kBox));
        const float k = static_cast<float>(1 + Normal(rng, style.strokeScale));
        for (inksynth::Point &p : s)
            p = {cx + (p.x - cx) * k + dx, cy + (p.y - cy) * k + dy};
    }
    inksynth::Scale(ink, static_cast<float>(style.aspect), 1);

    // Stroke order and direction.
    if (limits.allowReorder) {
        for (size_t i = 0; i + 1 < strokes.size(); ++i)
            if (rng.Chance(style.swapProb))
                std::swap(strokes[i], strokes[i + 1]);
    }
    if (limits.allowReverse) {
        for (inksynth::Stroke &s : strokes)
            if (rng.Chance(style.reverseProb))
                std::reverse(s.begin(), s.end());
    }
    // Cursive: the pen stays down from the end of a stroke to the start of the next.
    if (limits.allowJoin && style.joinProb > 0 && strokes.size() > 1) {
        std::vector<inksynth::Stroke> out{strokes[0]};
        for (size_t i = 1; i < strokes.size(); ++i) {
            if (!out.back().empty() && !strokes[i].empty() && rng.Chance(style.joinProb)) {
                inksynth::Stroke &prev = out.back();
                const inksynth::Point a = prev.back(), b = strokes[i].front();
                // A slightly bowed connection.
                const float bow = static_cast<float>(Normal(rng, 0.12));
                const float nx = -(b.y - a.y), ny = b.x - a.x;
                for (int k = 1; k < 6; ++k) {
                    const float t = k / 6.0f, h = bow * 4 * t * (1 - t);
                    prev.push_back(
                        {a.x + t * (b.x - a.x) + h * nx, a.y + t * (b.y - a.y) + h * ny});
                }
                prev.insert(prev.end(), strokes[i].begin(), strokes[i].end());
            } else {
                out.push_back(strokes[i]);
            }
        }
        strokes.swap(out);
    }

    // The pen: slant, elastic bending, rotation, the box size, rounded corners, a pen that
    // slows in turns, tremor and lifts. A digitiser reports a few hundred points for one
    // character however complex it is, so long writings get a coarser step.
    inksynth::WriterStyle pen;
    pen.xHeight = static_cast<float>(style.sizePx) / kBox;
    pen.slantDeg = Degrees(std::atan(style.slant));
    pen.baselineAmp = 0;
    // The pen model's waves reach about 0.42 of its amplitude (root mean square): this gives
    // 1.2 times `elastic` of the box, as three waves of that size each would.
    pen.elastic = static_cast<float>(2.9 * style.elastic * kBox);
    pen.lineAngleDeg = Degrees(style.rotation * limits.rotationScale);
    pen.rounding = static_cast<float>(style.rounding);
    pen.slowdown = static_cast<float>(style.slowdown);
    pen.tremor = static_cast<float>(style.jitter);
    pen.strokeBreak = limits.allowBreak ? static_cast<float>(style.breakProb) : 0.0f;
    float travel = 0;
    for (const inksynth::Stroke &s : strokes)
        travel += inksynth::PathLength(s);
    pen.penStep = std::max(static_cast<float>(style.stepPx), travel * pen.xHeight / 450);
    return inksynth::ToRawStrokes(inksynth::ApplyPen(std::move(ink), pen, rng));
}

}  // namespace chartrain
