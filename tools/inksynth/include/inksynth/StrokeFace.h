// A face of pen-stroke glyphs for printable ASCII: where the synthesiser's letter shapes come
// from (Hershey stroke fonts, or outline fonts thinned to centre lines).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "inksynth/Ink.h"

namespace inksynth {

struct Glyph {
    // Horizontal extent the glyph occupies when set next to others, in font units.
    float left = 0;
    float right = 0;
    // Font units, y down; each stroke in the direction the pen draws it.
    std::vector<Stroke> strokes;
};

class StrokeFace {
  public:
    static constexpr int kFirstChar = 32;   // space
    static constexpr int kGlyphCount = 95;  // ' ' .. '~'

    std::string name;
    // Letters of a joined (cursive) face meet at their margins; the composer links them.
    bool joined = false;
    // Vertical metrics in font units (y down): bottom of 'x', top of 'u', top of 'H'.
    float baseline = 0, xTop = -1, capTop = -2;

    // Null for characters the face does not cover.
    const Glyph *Find(char c) const;
    void Set(char c, Glyph g);
    // Measures baseline, xTop and capTop from the glyphs; false when they give no usable values.
    bool MeasureMetrics();
    float XHeight() const { return baseline - xTop; }

  private:
    std::array<Glyph, kGlyphCount> glyphs_{};
    std::array<bool, kGlyphCount> present_{};
};

// Parses the text of a Hershey ".jhf" file: records of a 5-column number, a 3-column vertex
// count (the margin pair included), then coordinate letter pairs ('R' = 0, " R" = pen up);
// records may wrap onto continuation lines. Glyphs come in ASCII order from the space.
std::optional<StrokeFace> ParseHersheyFace(const std::string &text, std::string *error);
std::optional<StrokeFace> LoadHersheyFace(const std::string &path, std::string *error);

}  // namespace inksynth
