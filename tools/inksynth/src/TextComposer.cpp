#include "inksynth/TextComposer.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "inksynth/Augment.h"

namespace inksynth {

namespace {

constexpr float kPi = 3.14159265358979f;

// Letters whose small extra strokes (dots, bars, crosses) writers often add after the word.
bool HasLateMarks(char c) {
    return c == 'i' || c == 'j' || c == 't' || c == 'f' || c == 'x';
}

float Dist(Point a, Point b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

}  // namespace

Ink TextComposer::Layout(const std::string &text, const WriterStyle &style, Random &rng) const {
    Ink out;
    float penX = 0;
    // The stroke of `out` that the next letter may continue (-1: none): a joined face's chain,
    // or a print letter's last stroke that a connecting stroke may link on from.
    long chain = -1;
    bool chainJoined = false;
    std::vector<Stroke> late;
    float jitter = style.letterJitter;
    auto endWord = [&]() {
        for (Stroke &s : late)
            out.strokes.push_back(std::move(s));
        late.clear();
        chain = -1;
    };
    for (size_t ci = 0; ci < text.size(); ++ci) {
        char c = text[ci];
        if (c == ' ') {
            endWord();
            penX += style.wordGap * float(rng.Clipped(1.0, 0.2, 0.6, 1.5));
            continue;
        }
        const HandGlyph *g = hand_.Find(c);
        if (!g) {
            penX += 0.6f;
            chain = -1;
            continue;
        }
        // Per-letter variation of size, width, lean, rotation and height on the line.
        float sy = float(rng.Clipped(1.0, 0.06 * jitter, 0.8, 1.2));
        float sx = style.widthScale * float(rng.Clipped(1.0, 0.07 * jitter, 0.75, 1.25));
        float shear = float(rng.Normal(0, 0.06 * jitter));
        float rot = float(rng.Normal(0, 2.5 * jitter)) * kPi / 180;
        float dy = float(rng.Normal(0, 0.05 * jitter));
        float width = g->width * sx;
        Point centre{width / 2, -0.5f};
        float cs = std::cos(rot), sn = std::sin(rot);
        auto place = [&](Point p) {
            float y = p.y;
            if (y < -1)
                y = -1 + (y + 1) * style.ascender;  // ascenders and capitals
            if (y > 0)
                y = y * style.descender;
            Point q{p.x * sx, y * sy};
            q.x -= q.y * shear;
            float x = q.x - centre.x, yy = q.y - centre.y;
            return Point{centre.x + cs * x - sn * yy + penX, centre.y + sn * x + cs * yy + dy};
        };
        // Marks: the strokes other than the longest, in letters that have dots or bars.
        size_t longest = 0;
        for (size_t k = 0; k < g->strokes.size(); ++k)
            if (PathLength(g->strokes[k]) > PathLength(g->strokes[longest]))
                longest = k;
        bool delay = HasLateMarks(c) && g->strokes.size() >= 2 && rng.Chance(style.delayMarks);
        bool letter = std::isalpha(static_cast<unsigned char>(c)) != 0;
        bool linked = false;  // this letter's first stroke has been run on from the last one
        for (size_t k = 0; k < g->strokes.size(); ++k) {
            if (g->strokes[k].empty())
                continue;
            Stroke s;
            s.reserve(g->strokes[k].size());
            for (Point p : g->strokes[k])
                s.push_back(place(p));
            bool mark = HasLateMarks(c) && k != longest;
            if (g->strokes.size() > 1 && !g->joined) {
                // Separate strokes of a letter never meet exactly where the face puts them.
                float ox = float(rng.Normal(0, 0.05 * jitter)),
                      oy = float(rng.Normal(0, 0.04 * jitter));
                if (mark)
                    ox *= 2, oy *= 2;  // dots and bars wander most
                for (Point &q : s)
                    q.x += ox, q.y += oy;
            }
            if (mark && delay) {
                late.push_back(std::move(s));
                continue;
            }
            bool joinedHere = false;
            if (!mark && letter && chain >= 0 && !linked) {
                Stroke &prev = out.strokes[size_t(chain)];
                float gap = Dist(prev.back(), s.front());
                if (g->joined && chainJoined) {
                    // A joined face's letters meet at their margins: run on unless the pen lifts.
                    if (gap < 0.8f && !rng.Chance(style.joinLift)) {
                        prev.insert(prev.end(), s.begin() + (gap < 1e-3f), s.end());
                        joinedHere = true;
                    }
                } else if (!g->joined && !chainJoined && gap < 1.6f &&
                           s.front().x > prev.back().x + 0.05f && rng.Chance(style.connect)) {
                    // A print writer's link: the pen sweeps on from the last letter's end to
                    // this one's start, sagging a little towards the baseline.
                    Point a = prev.back(), b = s.front();
                    Point m{(a.x + b.x) / 2, (a.y + b.y) / 2 + 0.12f * gap};
                    for (int i = 1; i < 6; ++i) {
                        float t = float(i) / 6, u = 1 - t;
                        prev.push_back({u * u * a.x + 2 * u * t * m.x + t * t * b.x,
                                        u * u * a.y + 2 * u * t * m.y + t * t * b.y});
                    }
                    prev.insert(prev.end(), s.begin(), s.end());
                    joinedHere = true;
                }
            }
            if (joinedHere) {
                linked = true;
            } else {
                out.strokes.push_back(std::move(s));
            }
            if (!mark && letter) {
                // The next letter may run on from the stroke this letter ended with.
                chain = joinedHere ? chain : long(out.strokes.size()) - 1;
                chainJoined = g->joined;
                linked = true;
            } else if (!mark) {
                chain = -1;
            }
        }
        float gap = style.letterGap * float(rng.Clipped(1.0, 0.4, 0.2, 1.8));
        // Joined letters must stay within reach of each other.
        if (g->joined && letter)
            gap = std::clamp(gap, -0.1f, 0.25f);
        penX += width + gap;
    }
    endWord();
    return out;
}

Ink ApplyPen(Ink ink, const WriterStyle &style, Random &rng) {
    Shear(ink, style.slantDeg);
    WaveBaseline(ink, style.baselineAmp, style.baselineWave, rng);
    ElasticWarp(ink, style.elastic, 3.0f, rng);
    Box box = BoundsOf(ink);
    Rotate(ink, style.lineAngleDeg, {(box.minX + box.maxX) / 2, (box.minY + box.maxY) / 2});
    Scale(ink, style.xHeight, style.xHeight);
    for (Stroke &s : ink.strokes)
        s = RoundCorners(s, style.rounding);
    ResampleByPenSpeed(ink, style.penStep, style.slowdown, rng);
    AddTremor(ink, style.tremor, rng);
    BreakStrokes(ink, style.strokeBreak, rng);
    MoveToOrigin(ink, float(rng.Uniform(2, 40)));
    return ink;
}

Ink TextComposer::Write(const std::string &text, const WriterStyle &style, Random &rng) const {
    return ApplyPen(Layout(text, style, rng), style, rng);
}

}  // namespace inksynth
