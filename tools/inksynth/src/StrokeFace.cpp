#include "inksynth/StrokeFace.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace inksynth {

const Glyph *StrokeFace::Find(char c) const {
    int i = static_cast<unsigned char>(c) - kFirstChar;
    if (i < 0 || i >= kGlyphCount || !present_[i])
        return nullptr;
    return &glyphs_[i];
}

void StrokeFace::Set(char c, Glyph g) {
    int i = static_cast<unsigned char>(c) - kFirstChar;
    if (i < 0 || i >= kGlyphCount)
        return;
    glyphs_[i] = std::move(g);
    present_[i] = true;
}

bool StrokeFace::MeasureMetrics() {
    auto extent = [&](char c, bool top, float &out) {
        const Glyph *g = Find(c);
        if (!g || g->strokes.empty())
            return false;
        Box b;
        for (const Stroke &s : g->strokes)
            for (const Point &p : s)
                b.Add(p);
        out = top ? b.minY : b.maxY;
        return true;
    };
    // 'u' has no entry or exit flourish above the x-height in any face we read.
    bool ok = extent('x', false, baseline) && extent('u', true, xTop) && extent('H', true, capTop);
    return ok && xTop < baseline && capTop < baseline;
}

namespace {

int Coord(char c) {
    return c - 'R';
}

}  // namespace

std::optional<StrokeFace> ParseHersheyFace(const std::string &text, std::string *error) {
    auto fail = [&](const std::string &why) -> std::optional<StrokeFace> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    StrokeFace face;
    size_t pos = 0, n = text.size();
    int index = 0;
    while (pos < n) {
        while (pos < n && (text[pos] == '\n' || text[pos] == '\r'))
            ++pos;
        if (pos >= n)
            break;
        if (n - pos < 8)
            return fail("truncated glyph header at byte " + std::to_string(pos));
        int count = 0;
        bool anyDigit = false;
        for (size_t k = pos + 5; k < pos + 8; ++k) {
            char c = text[k];
            if (c == ' ')
                continue;
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return fail("bad vertex count at byte " + std::to_string(pos));
            count = count * 10 + (c - '0');
            anyDigit = true;
        }
        if (!anyDigit || count < 1)
            return fail("bad vertex count at byte " + std::to_string(pos));
        pos += 8;
        std::string pairs;
        pairs.reserve(2 * size_t(count));
        while (pos < n && pairs.size() < 2 * size_t(count)) {
            char c = text[pos++];
            if (c == '\n' || c == '\r')
                continue;
            pairs.push_back(c);
        }
        if (pairs.size() < 2 * size_t(count))
            return fail("glyph " + std::to_string(index) + " is truncated");
        while (pos < n && text[pos] != '\n')
            ++pos;
        if (index < StrokeFace::kGlyphCount) {  // files may carry a glyph past '~'
            Glyph g;
            g.left = float(Coord(pairs[0]));
            g.right = float(Coord(pairs[1]));
            Stroke current;
            for (int v = 1; v < count; ++v) {
                char a = pairs[2 * size_t(v)], b = pairs[2 * size_t(v) + 1];
                if (a == ' ' && b == 'R') {
                    if (!current.empty())
                        g.strokes.push_back(std::move(current));
                    current.clear();
                    continue;
                }
                current.push_back({float(Coord(a)), float(Coord(b))});
            }
            if (!current.empty())
                g.strokes.push_back(std::move(current));
            face.Set(char(StrokeFace::kFirstChar + index), std::move(g));
        }
        ++index;
    }
    if (index < StrokeFace::kGlyphCount)
        return fail("only " + std::to_string(index) + " glyphs");
    if (!face.MeasureMetrics())
        return fail("glyphs 'x', 'u' and 'H' give no usable metrics");
    return face;
}

std::optional<StrokeFace> LoadHersheyFace(const std::string &path, std::string *error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + path;
        return std::nullopt;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    auto face = ParseHersheyFace(ss.str(), error);
    if (!face && error)
        *error = path + ": " + *error;
    if (face) {
        std::string base = path.substr(path.find_last_of('/') + 1);
        face->name = base.substr(0, base.find('.'));
    }
    return face;
}

}  // namespace inksynth
