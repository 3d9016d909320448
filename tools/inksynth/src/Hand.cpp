#include "inksynth/Hand.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "inksynth/Augment.h"

namespace inksynth {

namespace {

constexpr float kPi = 3.14159265358979f;

float Dist(Point a, Point b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

bool IsUpper(int c) {
    return c >= 'A' && c <= 'Z';
}

// A face drawn by weight from those that `accept`; null when none does.
template <typename Accept>
const Hand::Source *Pick(const std::vector<Hand::Source> &faces, Random &rng, Accept accept) {
    float total = 0;
    for (const Hand::Source &f : faces)
        if (accept(f))
            total += f.weight;
    if (total <= 0)
        return nullptr;
    double r = rng.Unit() * total;
    const Hand::Source *last = nullptr;
    for (const Hand::Source &f : faces) {
        if (!accept(f))
            continue;
        last = &f;
        if (r < f.weight)
            return &f;
        r -= f.weight;
    }
    return last;
}

// A smooth displacement field over a glyph: two sinusoids per axis, wavelengths about a letter.
struct Warp {
    float kx[4], ky[4], ph[4], amp[4];
    Warp(float amplitude, Random &rng) {
        for (int i = 0; i < 4; ++i) {
            float len = float(rng.Uniform(0.7, 1.8)), dir = float(rng.Uniform(0, 2 * kPi));
            kx[i] = std::cos(dir) * 2 * kPi / len;
            ky[i] = std::sin(dir) * 2 * kPi / len;
            ph[i] = float(rng.Uniform(0, 2 * kPi));
            amp[i] = amplitude * float(rng.Uniform(0.3, 1.0));
        }
    }
    Point operator()(Point p) const {
        float d[4];
        for (int i = 0; i < 4; ++i)
            d[i] = amp[i] * std::sin(kx[i] * p.x + ky[i] * p.y + ph[i]);
        return {p.x + d[0] + d[1], p.y + d[2] + d[3]};
    }
};

// Points every `step` along a polyline (the ends kept), so that a warp bends straight lines.
Stroke Densify(const Stroke &s, float step) {
    if (s.size() < 2)
        return s;
    Stroke out{s.front()};
    for (size_t i = 1; i < s.size(); ++i) {
        float d = Dist(s[i - 1], s[i]);
        int n = std::max(1, int(std::ceil(d / step)));
        for (int k = 1; k <= n; ++k) {
            float t = float(k) / float(n);
            out.push_back(
                {s[i - 1].x + t * (s[i].x - s[i - 1].x), s[i - 1].y + t * (s[i].y - s[i - 1].y)});
        }
    }
    return out;
}

// Moves the start of a stroke by `by` x-heights: positive trims, negative runs the pen in from
// further back along the first direction.
void ShiftStart(Stroke &s, float by) {
    if (s.size() < 2)
        return;
    if (by < 0) {
        Point a = s[0], b = s[1];
        float d = Dist(a, b);
        if (d < 1e-4f)
            return;
        s.insert(s.begin(), {a.x - (b.x - a.x) / d * -by, a.y - (b.y - a.y) / d * -by});
        return;
    }
    float left = by;
    while (s.size() > 2) {
        float d = Dist(s[0], s[1]);
        if (d > left) {
            float t = left / d;
            s[0] = {s[0].x + t * (s[1].x - s[0].x), s[0].y + t * (s[1].y - s[0].y)};
            return;
        }
        left -= d;
        s.erase(s.begin());
    }
}

void ShiftEnd(Stroke &s, float by) {
    std::reverse(s.begin(), s.end());
    ShiftStart(s, by);
    std::reverse(s.begin(), s.end());
}

}  // namespace

HandGlyph Normalise(const StrokeFace &face, const Glyph &g, bool capitalsOnly, float capHeight) {
    float unit = capitalsOnly ? capHeight / (face.baseline - face.capTop) : 1.0f / face.XHeight();
    HandGlyph out;
    out.joined = face.joined;
    out.width = (g.right - g.left) * unit;
    for (const Stroke &s : g.strokes) {
        Stroke t;
        t.reserve(s.size());
        for (Point p : s)
            t.push_back({(p.x - g.left) * unit, (p.y - face.baseline) * unit});
        out.strokes.push_back(std::move(t));
    }
    return out;
}

void DeformGlyph(HandGlyph &g, const WriterStyle &style, float amount, Random &rng) {
    if (amount <= 0 || g.strokes.empty())
        return;
    const float v = amount;
    // Proportions: width, height and lean of this letter in this writer's hand.
    float sx = float(std::exp(rng.Clipped(0, 0.11 * v, -0.3, 0.3)));
    float sy = float(std::exp(rng.Clipped(0, 0.08 * v, -0.25, 0.25)));
    float shear = float(rng.Clipped(0, 0.12 * v, -0.35, 0.35));
    Point c{g.width / 2, -0.5f};
    Warp warp(0.065f * v, rng);
    for (Stroke &s : g.strokes) {
        s = Densify(s, 0.12f);
        for (Point &p : s) {
            Point q{(p.x - c.x) * sx, (p.y - c.y) * sy};
            q.x -= q.y * shear;
            p = warp({c.x + q.x, c.y + q.y});
        }
    }
    g.width *= sx;
    if (g.joined)
        return;  // entry and exit strokes must keep meeting the neighbours'
    for (Stroke &s : g.strokes) {
        float len = PathLength(s);
        if (len < 0.25f)
            continue;
        // Where the pen comes down and lifts: a little earlier or later than in the face.
        if (rng.Chance(0.6 * v))
            ShiftStart(s, std::min(float(rng.Uniform(-0.12, 0.12)) * v, len / 4));
        if (rng.Chance(0.6 * v))
            ShiftEnd(s, std::min(float(rng.Uniform(-0.12, 0.12)) * v, len / 4));
        // A closed loop ('o', 'O', '0', the bowl of 'a') may be started anywhere on it.
        if (s.size() > 6 && Dist(s.front(), s.back()) < 0.12f && len > 1.0f &&
            rng.Chance(0.5 * v)) {
            s.pop_back();
            size_t at = size_t(rng.Below(s.size()));
            std::rotate(s.begin(), s.begin() + long(at), s.end());
            s.push_back(s.front());
        }
    }
    if (g.strokes.size() > 1 && rng.Chance(style.reorderStrokes)) {
        for (size_t i = g.strokes.size() - 1; i > 0; --i)
            std::swap(g.strokes[i], g.strokes[size_t(rng.Below(i + 1))]);
    }
    for (Stroke &s : g.strokes)
        if (rng.Chance(2.5 * style.reverse))
            std::reverse(s.begin(), s.end());
    // Strokes that meet (or nearly) may be drawn in one go.
    std::vector<Stroke> merged{std::move(g.strokes[0])};
    for (size_t i = 1; i < g.strokes.size(); ++i) {
        Stroke &prev = merged.back(), &s = g.strokes[i];
        if (prev.size() > 1 && s.size() > 1 && rng.Chance(style.liftMerge)) {
            if (Dist(prev.back(), s.back()) < Dist(prev.back(), s.front()))
                std::reverse(s.begin(), s.end());
            if (Dist(prev.back(), s.front()) < 0.3f) {
                prev.insert(prev.end(), s.begin(), s.end());
                continue;
            }
        }
        merged.push_back(std::move(s));
    }
    g.strokes = std::move(merged);
}

Hand Hand::Draw(const std::vector<Source> &faces, const StrokeFace *fallback,
                const WriterStyle &style, Random &rng) {
    Hand hand;
    auto lower = [](const Source &f) { return !f.face->capitalsOnly; };
    const Source *main = Pick(faces, rng, lower);
    if (!main)
        return hand;
    hand.name_ = main->face->name;
    // The faces this writer borrows letter forms from, and perhaps capitals.
    const Source *others[2] = {Pick(faces, rng, lower), Pick(faces, rng, lower)};
    const Source *caps =
        rng.Chance(0.3) ? Pick(faces, rng, [](const Source &f) { return f.face->capitalsOnly; })
                        : nullptr;
    const StrokeFace &mf = *main->face;
    float capHeight = (mf.baseline - mf.capTop) / mf.XHeight();
    for (int c = StrokeFace::kFirstChar + 1; c < StrokeFace::kFirstChar + StrokeFace::kGlyphCount;
         ++c) {
        const Source *src = main;
        if (IsUpper(c) && caps)
            src = caps;
        else if (std::isalnum(c) && rng.Chance(style.mixFaces))
            src = others[rng.Below(2)];
        const StrokeFace *face = src->face;
        bool capsOnly = face->capitalsOnly;
        const Glyph *g = face->Find(char(c));
        if (!g || g->strokes.empty()) {
            face = &mf;
            capsOnly = false;
            g = mf.Find(char(c));
        }
        if ((!g || g->strokes.empty()) && fallback) {
            face = fallback;
            capsOnly = false;
            g = fallback->Find(char(c));
        }
        if (!g)
            continue;
        HandGlyph hg = Normalise(*face, *g, capsOnly, capHeight);
        DeformGlyph(hg, style, style.shapeVariation, rng);
        hand.Set(char(c), std::move(hg));
    }
    HandGlyph space;
    const Glyph *sp = mf.Find(' ');
    space.width = sp ? (sp->right - sp->left) / mf.XHeight() : 0.6f;
    hand.Set(' ', std::move(space));
    return hand;
}

Hand Hand::Plain(const StrokeFace &face, const StrokeFace *fallback) {
    Hand hand;
    hand.name_ = face.name;
    for (int c = StrokeFace::kFirstChar; c < StrokeFace::kFirstChar + StrokeFace::kGlyphCount;
         ++c) {
        const StrokeFace *f = &face;
        const Glyph *g = face.Find(char(c));
        if ((!g || (g->strokes.empty() && c != ' ')) && fallback) {
            f = fallback;
            g = fallback->Find(char(c));
        }
        if (g)
            hand.Set(char(c), Normalise(*f, *g, false, 0));
    }
    return hand;
}

const HandGlyph *Hand::Find(char c) const {
    int i = static_cast<unsigned char>(c) - StrokeFace::kFirstChar;
    if (i < 0 || i >= StrokeFace::kGlyphCount || !present_[size_t(i)])
        return nullptr;
    return &glyphs_[size_t(i)];
}

void Hand::Set(char c, HandGlyph g) {
    int i = static_cast<unsigned char>(c) - StrokeFace::kFirstChar;
    if (i < 0 || i >= StrokeFace::kGlyphCount)
        return;
    glyphs_[size_t(i)] = std::move(g);
    present_[size_t(i)] = true;
}

}  // namespace inksynth
