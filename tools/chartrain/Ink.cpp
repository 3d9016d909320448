#include "Ink.h"

#include <algorithm>
#include <cmath>

namespace chartrain {

bool InkBounds(const Ink &ink, double *minX, double *minY, double *maxX, double *maxY) {
    bool any = false;
    for (const Stroke &s : ink) {
        for (const Pt &p : s) {
            if (!any) {
                *minX = *maxX = p.x;
                *minY = *maxY = p.y;
                any = true;
            }
            *minX = std::min(*minX, p.x);
            *maxX = std::max(*maxX, p.x);
            *minY = std::min(*minY, p.y);
            *maxY = std::max(*maxY, p.y);
        }
    }
    return any;
}

std::vector<int16_t> ToPairs(const Ink &ink) {
    std::vector<int16_t> out;
    for (const Stroke &s : ink) {
        if (s.empty())
            continue;
        for (const Pt &p : s) {
            out.push_back(static_cast<int16_t>(std::clamp(std::lround(p.x), 0L, 32767L)));
            out.push_back(static_cast<int16_t>(std::clamp(std::lround(p.y), 0L, 32767L)));
        }
        out.push_back(-1);
        out.push_back(0);
    }
    out.push_back(-1);
    out.push_back(-1);
    return out;
}

namespace {

Pt CatmullRom(const Pt &p0, const Pt &p1, const Pt &p2, const Pt &p3, double t) {
    const double t2 = t * t, t3 = t2 * t;
    auto f = [&](double a, double b, double c, double d) {
        return 0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 +
                      (-a + 3 * b - 3 * c + d) * t3);
    };
    return {f(p0.x, p1.x, p2.x, p3.x), f(p0.y, p1.y, p2.y, p3.y)};
}

// A dense polyline along the stroke (about 8 points a piece), then spaced evenly.
Stroke ResampleStroke(const Stroke &s, double step, bool smooth) {
    if (s.size() < 2)
        return s;
    Stroke dense;
    const size_t n = s.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        const Pt &p1 = s[i], &p2 = s[i + 1];
        const Pt &p0 = i > 0 ? s[i - 1] : p1;
        const Pt &p3 = i + 2 < n ? s[i + 2] : p2;
        const int pieces = smooth ? 8 : 1;
        for (int k = 0; k < pieces; ++k) {
            const double t = static_cast<double>(k) / pieces;
            dense.push_back(smooth ? CatmullRom(p0, p1, p2, p3, t)
                                   : Pt{p1.x + t * (p2.x - p1.x), p1.y + t * (p2.y - p1.y)});
        }
    }
    dense.push_back(s.back());
    Stroke out{dense.front()};
    double carry = 0;
    for (size_t i = 1; i < dense.size(); ++i) {
        const Pt a = dense[i - 1], b = dense[i];
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        double at = step - carry;
        while (at <= len) {
            const double t = at / len;
            out.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
            at += step;
        }
        carry = len - (at - step);
    }
    const Pt &last = dense.back();
    if (std::hypot(out.back().x - last.x, out.back().y - last.y) > step * 0.3)
        out.push_back(last);
    else
        out.back() = last;
    return out;
}

}  // namespace

Ink Resample(const Ink &ink, double step, bool smooth) {
    Ink out;
    for (const Stroke &s : ink)
        out.push_back(ResampleStroke(s, step, smooth));
    return out;
}

}  // namespace chartrain
