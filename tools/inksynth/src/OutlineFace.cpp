#include "inksynth/OutlineFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <map>

namespace inksynth {

namespace {

// Zhang-Suen thinning: peels the ink to one-pixel lines, keeping its connectivity.
void Thin(std::vector<unsigned char> &img, int w, int h) {
    auto at = [&](int x, int y) -> int {
        return x >= 0 && y >= 0 && x < w && y < h && img[size_t(y) * w + x] ? 1 : 0;
    };
    bool changed = true;
    std::vector<size_t> drop;
    while (changed) {
        changed = false;
        for (int pass = 0; pass < 2; ++pass) {
            drop.clear();
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    if (!at(x, y))
                        continue;
                    int p[8] = {at(x, y - 1), at(x + 1, y - 1), at(x + 1, y), at(x + 1, y + 1),
                                at(x, y + 1), at(x - 1, y + 1), at(x - 1, y), at(x - 1, y - 1)};
                    int b = 0, a = 0;
                    for (int k = 0; k < 8; ++k) {
                        b += p[k];
                        a += !p[k] && p[(k + 1) % 8];
                    }
                    if (b < 2 || b > 6 || a != 1)
                        continue;
                    if (pass == 0 && (p[0] * p[2] * p[4] || p[2] * p[4] * p[6]))
                        continue;
                    if (pass == 1 && (p[0] * p[2] * p[6] || p[0] * p[4] * p[6]))
                        continue;
                    drop.push_back(size_t(y) * w + x);
                }
            for (size_t i : drop)
                img[i] = 0;
            changed = changed || !drop.empty();
        }
    }
}

struct Pix {
    int x, y;
};

float Angle(Pix a, Pix b) {
    return std::atan2(float(b.y - a.y), float(b.x - a.x));
}

}  // namespace

std::vector<Stroke> TraceCentreLines(std::vector<unsigned char> img, int w, int h) {
    Thin(img, w, h);
    auto on = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w && y < h && img[size_t(y) * w + x] != 0;
    };
    static const int dx[8] = {1, 1, 0, -1, -1, -1, 0, 1}, dy[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    // Mixed adjacency: a diagonal neighbour counts only when no shared side neighbour links
    // the two already, so that staircase corners make no triangles (false crossings).
    auto neighbours = [&](Pix p) {
        std::vector<Pix> n;
        for (int k = 0; k < 8; ++k) {
            int x = p.x + dx[k], y = p.y + dy[k];
            if (!on(x, y))
                continue;
            if (dx[k] != 0 && dy[k] != 0 && (on(x, p.y) || on(p.x, y)))
                continue;
            n.push_back({x, y});
        }
        return n;
    };
    // Edges of the pixel graph: walks between end points and crossings.
    std::vector<std::vector<Pix>> edges;
    std::map<std::pair<long, long>, bool> used;  // visited pixel pairs
    auto key = [&](Pix a, Pix b) {
        long ia = long(a.y) * w + a.x, ib = long(b.y) * w + b.x;
        return std::make_pair(std::min(ia, ib), std::max(ia, ib));
    };
    auto isNode = [&](Pix p) { return neighbours(p).size() != 2; };
    auto walk = [&](Pix start, Pix next) {
        std::vector<Pix> path{start, next};
        used[key(start, next)] = true;
        Pix prev = start, cur = next;
        while (!isNode(cur)) {
            Pix step{-1, -1};
            for (Pix n : neighbours(cur))
                if (!(n.x == prev.x && n.y == prev.y) && !used.count(key(cur, n))) {
                    step = n;
                    break;
                }
            if (step.x < 0)
                break;
            used[key(cur, step)] = true;
            path.push_back(step);
            prev = cur;
            cur = step;
            if (cur.x == start.x && cur.y == start.y)
                break;
        }
        return path;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Pix p{x, y};
            if (!on(x, y) || !isNode(p))
                continue;
            for (Pix n : neighbours(p))
                if (!used.count(key(p, n)))
                    edges.push_back(walk(p, n));
        }
    // Closed loops without any crossing ('o', '0').
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Pix p{x, y};
            if (!on(x, y))
                continue;
            for (Pix n : neighbours(p))
                if (!used.count(key(p, n)))
                    edges.push_back(walk(p, n));
        }
    // Drop spurs: short edges hanging off a crossing, artefacts of thinning.
    auto endDegree = [&](Pix p) { return neighbours(p).size(); };
    std::vector<std::vector<Pix>> kept;
    for (auto &e : edges) {
        bool spur = e.size() < 5 && (endDegree(e.front()) == 1) != (endDegree(e.back()) == 1);
        if (!spur && e.size() >= 2)
            kept.push_back(std::move(e));
    }
    // Join edges through crossings where they run on nearly straight.
    std::vector<bool> done(kept.size(), false);
    std::vector<Stroke> strokes;
    auto dirAt = [](const std::vector<Pix> &e, bool atEnd) {
        size_t k = std::min<size_t>(4, e.size() - 1);
        return atEnd ? Angle(e[e.size() - 1 - k], e.back()) : Angle(e[k], e.front());
    };
    auto near = [](Pix a, Pix b) { return std::abs(a.x - b.x) <= 2 && std::abs(a.y - b.y) <= 2; };
    // Start with the edge whose top-left end comes first, as writers do.
    std::vector<size_t> order(kept.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    auto score = [&](size_t i) {
        const auto &e = kept[i];
        Pix a = e.front(), b = e.back();
        return std::min(a.x + a.y / 2, b.x + b.y / 2);
    };
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return score(a) < score(b); });
    for (size_t oi : order) {
        if (done[oi])
            continue;
        done[oi] = true;
        std::vector<Pix> path = kept[oi];
        Pix a = path.front(), b = path.back();
        if (b.x + b.y / 2 < a.x + a.y / 2)
            std::reverse(path.begin(), path.end());
        for (;;) {
            float heading = dirAt(path, true);
            size_t best = kept.size();
            bool flip = false;
            float bestTurn = 0.6f;  // radians: only nearly straight continuations
            for (size_t j = 0; j < kept.size(); ++j) {
                if (done[j])
                    continue;
                for (int end = 0; end < 2; ++end) {
                    Pix p = end ? kept[j].back() : kept[j].front();
                    if (!near(p, path.back()))
                        continue;
                    float d = end ? dirAt(kept[j], true) + 3.14159265f
                                  : dirAt(kept[j], false) + 3.14159265f;
                    float turn = std::fabs(std::remainder(d - heading, 6.2831853f));
                    if (turn < bestTurn) {
                        bestTurn = turn;
                        best = j;
                        flip = end == 1;
                    }
                }
            }
            if (best == kept.size())
                break;
            done[best] = true;
            std::vector<Pix> next = kept[best];
            if (flip)
                std::reverse(next.begin(), next.end());
            path.insert(path.end(), next.begin() + 1, next.end());
        }
        // A few pixels between two crossings are the knot thinning leaves where strokes cross,
        // not a stroke of their own; a short piece on its own is a dot and stays.
        if (path.size() <= 4 && isNode(path.front()) && isNode(path.back()) &&
            neighbours(path.front()).size() > 1 && neighbours(path.back()).size() > 1)
            continue;
        Stroke s;
        for (Pix p : path)
            s.push_back({float(p.x), float(p.y)});
        strokes.push_back(std::move(s));
    }
    // Isolated pixels (dots).
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (on(x, y) && neighbours({x, y}).empty())
                strokes.push_back({{float(x), float(y)}});
    return strokes;
}

namespace {

// Douglas-Peucker simplification: keeps the shape within `tol`.
void Simplify(const Stroke &s, size_t a, size_t b, float tol, std::vector<char> &keep) {
    if (b <= a + 1)
        return;
    float best = 0;
    size_t at = a;
    float vx = s[b].x - s[a].x, vy = s[b].y - s[a].y, len = std::hypot(vx, vy);
    for (size_t i = a + 1; i < b; ++i) {
        float d = len > 0 ? std::fabs((s[i].x - s[a].x) * vy - (s[i].y - s[a].y) * vx) / len
                          : std::hypot(s[i].x - s[a].x, s[i].y - s[a].y);
        if (d > best) {
            best = d;
            at = i;
        }
    }
    if (best <= tol)
        return;
    keep[at] = 1;
    Simplify(s, a, at, tol, keep);
    Simplify(s, at, b, tol, keep);
}

}  // namespace

std::optional<StrokeFace> LoadOutlineFace(const std::string &path, int pixels, std::string *error) {
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) {
        if (error)
            *error = "cannot start FreeType";
        return std::nullopt;
    }
    FT_Face ft;
    if (FT_New_Face(lib, path.c_str(), 0, &ft)) {
        FT_Done_FreeType(lib);
        if (error)
            *error = "cannot read the font " + path;
        return std::nullopt;
    }
    FT_Set_Pixel_Sizes(ft, 0, FT_UInt(pixels));
    StrokeFace face;
    std::string base = path.substr(path.find_last_of('/') + 1);
    face.name = base.substr(0, base.find('.'));
    for (int c = StrokeFace::kFirstChar; c < StrokeFace::kFirstChar + StrokeFace::kGlyphCount;
         ++c) {
        FT_UInt index = FT_Get_Char_Index(ft, FT_ULong(c));
        if (index == 0 && c != ' ')
            continue;
        if (FT_Load_Glyph(ft, index, FT_LOAD_DEFAULT) ||
            FT_Render_Glyph(ft->glyph, FT_RENDER_MODE_NORMAL))
            continue;
        FT_GlyphSlot g = ft->glyph;
        Glyph glyph;
        glyph.left = 0;
        glyph.right = float(g->advance.x) / 64.0f;
        int w = int(g->bitmap.width), h = int(g->bitmap.rows);
        if (w > 0 && h > 0) {
            // A margin of one pixel so that thinning sees the border.
            int W = w + 2, H = h + 2;
            std::vector<unsigned char> img(size_t(W) * H, 0);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    img[size_t(y + 1) * W + x + 1] =
                        g->bitmap.buffer[y * g->bitmap.pitch + x] >= 128;
            float ox = float(g->bitmap_left) - 1, oy = -float(g->bitmap_top) - 1;
            for (Stroke &s : TraceCentreLines(std::move(img), W, H)) {
                std::vector<char> keep(s.size(), 0);
                keep.front() = keep.back() = 1;
                Simplify(s, 0, s.size() - 1, 0.6f, keep);
                Stroke out;
                for (size_t i = 0; i < s.size(); ++i)
                    if (keep[i])
                        out.push_back({s[i].x + ox, s[i].y + oy});
                glyph.strokes.push_back(std::move(out));
            }
        }
        face.Set(char(c), std::move(glyph));
    }
    FT_Done_Face(ft);
    FT_Done_FreeType(lib);
    if (!face.MeasureMetrics()) {
        if (error)
            *error = path + ": glyphs 'x', 'u' and 'H' give no usable metrics";
        return std::nullopt;
    }
    return face;
}

}  // namespace inksynth
