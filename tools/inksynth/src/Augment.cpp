#include "inksynth/Augment.h"

#include <algorithm>
#include <cmath>

namespace inksynth {

namespace {
constexpr float kPi = 3.14159265358979f;
float Dist(Point a, Point b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}
}  // namespace

float PathLength(const Stroke &s) {
    float len = 0;
    for (size_t i = 1; i < s.size(); ++i)
        len += Dist(s[i - 1], s[i]);
    return len;
}

void Shear(Ink &ink, float degrees) {
    float k = std::tan(degrees * kPi / 180);
    for (Stroke &s : ink.strokes)
        for (Point &p : s)
            p.x -= p.y * k;
}

void Rotate(Ink &ink, float degrees, Point c) {
    float a = degrees * kPi / 180, cs = std::cos(a), sn = std::sin(a);
    for (Stroke &s : ink.strokes)
        for (Point &p : s) {
            float x = p.x - c.x, y = p.y - c.y;
            p.x = c.x + cs * x - sn * y;
            p.y = c.y + sn * x + cs * y;
        }
}

void Scale(Ink &ink, float sx, float sy) {
    for (Stroke &s : ink.strokes)
        for (Point &p : s) {
            p.x *= sx;
            p.y *= sy;
        }
}

void WaveBaseline(Ink &ink, float amplitude, float wavelength, Random &rng) {
    if (amplitude <= 0 || wavelength <= 0)
        return;
    float phase = float(rng.Uniform(0, 2 * kPi));
    for (Stroke &s : ink.strokes)
        for (Point &p : s)
            p.y += amplitude * std::sin(2 * kPi * p.x / wavelength + phase);
}

void ElasticWarp(Ink &ink, float amplitude, float wavelength, Random &rng) {
    if (amplitude <= 0)
        return;
    struct Wave {
        float kx, ky, phase, amp;
    };
    Wave wx[3], wy[3];
    for (int axis = 0; axis < 2; ++axis)
        for (Wave &w : axis ? wy : wx) {
            float len = wavelength * float(rng.Uniform(0.6, 1.6));
            float dir = float(rng.Uniform(0, 2 * kPi));
            w = {std::cos(dir) * 2 * kPi / len, std::sin(dir) * 2 * kPi / len,
                 float(rng.Uniform(0, 2 * kPi)), amplitude * float(rng.Uniform(0.3, 1.0)) / 2};
        }
    for (Stroke &s : ink.strokes)
        for (Point &p : s) {
            float dx = 0, dy = 0;
            for (const Wave &w : wx)
                dx += w.amp * std::sin(w.kx * p.x + w.ky * p.y + w.phase);
            for (const Wave &w : wy)
                dy += w.amp * std::sin(w.kx * p.x + w.ky * p.y + w.phase);
            p.x += dx;
            p.y += dy;
        }
}

Stroke RoundCorners(const Stroke &s, float amount) {
    if (s.size() < 3 || amount <= 0)
        return s;
    Stroke cur = s;
    for (int iter = 0; iter < 2; ++iter) {
        Stroke next;
        next.reserve(cur.size() * 2);
        next.push_back(cur.front());
        for (size_t i = 0; i + 1 < cur.size(); ++i) {
            Point a = cur[i], b = cur[i + 1];
            // Cut at a quarter from each end, scaled by `amount`.
            float q = 0.25f * amount;
            if (i > 0)
                next.push_back({a.x + q * (b.x - a.x), a.y + q * (b.y - a.y)});
            if (i + 2 < cur.size())
                next.push_back({b.x - q * (b.x - a.x), b.y - q * (b.y - a.y)});
        }
        next.push_back(cur.back());
        cur = std::move(next);
    }
    return cur;
}

void ResampleByPenSpeed(Ink &ink, float step, float slowdown, Random &rng) {
    step = std::max(step, 0.05f);
    for (Stroke &s : ink.strokes) {
        if (s.size() < 2)
            continue;
        float total = PathLength(s);
        if (total < 1e-4f) {
            s.resize(1);
            continue;
        }
        // Dense copy every fraction of a step, with the turning angle at each point.
        float fine = std::min(step, total) / 8;
        Stroke dense{s.front()};
        for (size_t i = 1; i < s.size(); ++i) {
            float d = Dist(s[i - 1], s[i]);
            int n = std::max(1, int(std::ceil(d / fine)));
            for (int k = 1; k <= n; ++k) {
                float t = float(k) / n;
                dense.push_back({s[i - 1].x + t * (s[i].x - s[i - 1].x),
                                 s[i - 1].y + t * (s[i].y - s[i - 1].y)});
            }
        }
        size_t n = dense.size();
        std::vector<float> turn(n, 0.0f);
        int w = 3;
        for (size_t i = size_t(w); i + size_t(w) < n; ++i) {
            Point a = dense[i - w], b = dense[i], c = dense[i + w];
            float a1 = std::atan2(b.y - a.y, b.x - a.x), a2 = std::atan2(c.y - b.y, c.x - b.x);
            float d = std::fabs(a2 - a1);
            if (d > kPi)
                d = 2 * kPi - d;
            turn[i] = d / kPi;  // 0 straight .. 1 reversal
        }
        // Walk the path in equal time steps.
        float ramp = std::max(step * 1.5f, total * 0.1f);
        Stroke out{dense.front()};
        float travelled = 0, sinceLast = 0, phase = float(rng.Uniform(0.3, 1.0));
        for (size_t i = 1; i < n; ++i) {
            float d = Dist(dense[i - 1], dense[i]);
            travelled += d;
            sinceLast += d;
            float edge = std::min(travelled, total - travelled);
            float speed = 1.0f - slowdown * std::min(1.0f, 2.5f * turn[i]);
            speed *= 0.35f + 0.65f * std::min(1.0f, edge / ramp);
            float want = std::max(0.08f * step, step * speed) * phase;
            if (sinceLast >= want) {
                out.push_back(dense[i]);
                sinceLast = 0;
                phase = 1.0f;
            }
        }
        if (Dist(out.back(), dense.back()) > 1e-4f)
            out.push_back(dense.back());
        s = std::move(out);
    }
}

void AddTremor(Ink &ink, float sd, Random &rng) {
    if (sd <= 0)
        return;
    for (Stroke &s : ink.strokes) {
        float ex = 0, ey = 0;
        for (Point &p : s) {
            // First-order smoothing keeps the noise low-frequency, as a hand's is.
            ex = 0.6f * ex + 0.4f * float(rng.Normal(0, sd * 1.6));
            ey = 0.6f * ey + 0.4f * float(rng.Normal(0, sd * 1.6));
            p.x += ex;
            p.y += ey;
        }
    }
}

void BreakStrokes(Ink &ink, float p, Random &rng) {
    if (p <= 0)
        return;
    std::vector<Stroke> out;
    for (Stroke &s : ink.strokes) {
        if (s.size() >= 8 && rng.Chance(p)) {
            size_t cut = 3 + size_t(rng.Below(s.size() - 6));
            Stroke a(s.begin(), s.begin() + long(cut));
            Stroke b(s.begin() + long(cut), s.end());
            float len = PathLength(s) / float(s.size());
            float ox = float(rng.Normal(0, len * 0.4)), oy = float(rng.Normal(0, len * 0.4));
            // The pen comes down a little off the line and finds it again within a few samples.
            for (size_t k = 0; k < b.size() && k < 4; ++k) {
                float f = 1.0f - float(k) / 4;
                b[k].x += ox * f;
                b[k].y += oy * f;
            }
            out.push_back(std::move(a));
            out.push_back(std::move(b));
        } else {
            out.push_back(std::move(s));
        }
    }
    ink.strokes = std::move(out);
}

}  // namespace inksynth
