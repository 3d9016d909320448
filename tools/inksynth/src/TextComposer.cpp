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
    bool chainOpen = false;  // the last stroke of `out` may be continued by the next letter
    std::vector<Stroke> late;
    float jitter = style.letterJitter;
    auto endWord = [&]() {
        for (Stroke &s : late)
            out.strokes.push_back(std::move(s));
        late.clear();
        chainOpen = false;
    };
    for (size_t ci = 0; ci < text.size(); ++ci) {
        char c = text[ci];
        if (c == ' ') {
            endWord();
            penX += style.wordGap * float(rng.Clipped(1.0, 0.2, 0.6, 1.5));
            continue;
        }
        const StrokeFace *face = &face_;
        const Glyph *g = face_.Find(c);
        if ((!g || (g->strokes.empty() && c != ' ')) && fallback_) {
            face = fallback_;
            g = fallback_->Find(c);
        }
        if (!g) {
            penX += 0.6f;
            chainOpen = false;
            continue;
        }
        float unit = 1.0f / face->XHeight();
        // Per-letter variation of size, width, lean, rotation and height on the line.
        float sy = unit * float(rng.Clipped(1.0, 0.06 * jitter, 0.8, 1.2));
        float sx = unit * style.widthScale * float(rng.Clipped(1.0, 0.07 * jitter, 0.75, 1.25));
        float shear = float(rng.Normal(0, 0.06 * jitter));
        float rot = float(rng.Normal(0, 2.5 * jitter)) * kPi / 180;
        float dy = float(rng.Normal(0, 0.05 * jitter));
        float width = (g->right - g->left) * sx;
        Point centre{width / 2, -0.5f};
        float cs = std::cos(rot), sn = std::sin(rot);
        float top = face->xTop, base = face->baseline;
        auto place = [&](Point p) {
            float y = p.y;
            if (y < top)
                y = top + (y - top) * style.ascender;  // ascenders and capitals
            if (y > base)
                y = base + (y - base) * style.descender;
            Point q{(p.x - g->left) * sx, (y - base) * sy};
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
        for (size_t k = 0; k < g->strokes.size(); ++k) {
            Stroke s;
            s.reserve(g->strokes[k].size());
            for (Point p : g->strokes[k])
                s.push_back(place(p));
            bool mark = HasLateMarks(c) && k != longest;
            if (g->strokes.size() > 1 && !face->joined) {
                // Separate strokes of a letter never meet exactly where the face puts them.
                float ox = float(rng.Normal(0, 0.05 * jitter)),
                      oy = float(rng.Normal(0, 0.04 * jitter));
                if (mark)
                    ox *= 2, oy *= 2;  // dots and bars wander most
                for (Point &q : s)
                    q.x += ox, q.y += oy;
            }
            if (!face->joined && !mark && rng.Chance(style.reverse))
                std::reverse(s.begin(), s.end());
            if (mark && delay) {
                late.push_back(std::move(s));
                continue;
            }
            // A joined face's letters meet at their margins: run the pen on unless it lifts.
            if (face->joined && letter && !mark && chainOpen && !out.strokes.empty() &&
                Dist(out.strokes.back().back(), s.front()) < 0.8f && !rng.Chance(style.joinLift)) {
                Stroke &chain = out.strokes.back();
                chain.insert(chain.end(), s.begin() + (Dist(chain.back(), s.front()) < 1e-3f),
                             s.end());
            } else {
                out.strokes.push_back(std::move(s));
            }
            if (!mark)
                chainOpen = face->joined && letter;
        }
        float gap = style.letterGap * float(rng.Clipped(1.0, 0.4, 0.2, 1.8));
        // Joined letters must stay within reach of each other.
        if (face->joined && letter)
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
