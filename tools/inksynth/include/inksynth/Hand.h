// One synthetic writer's own letter shapes: for every character a glyph taken from one of the
// writer's faces and deformed once for this writer (proportions, bends, stroke ends, where a
// loop starts, stroke order and direction, strokes drawn without lifting), so that no two
// writers share a letter shape even when they learnt from the same face.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "inksynth/Random.h"
#include "inksynth/StrokeFace.h"
#include "inksynth/WriterStyle.h"

namespace inksynth {

// A glyph in x-height units: baseline at y = 0, top of the lower case at y = -1, y down; its
// box starts at x = 0 and it takes `width` on the line.
struct HandGlyph {
    std::vector<Stroke> strokes;
    float width = 0;
    bool joined = false;  // from a joined face: runs on into the next joined letter
};

class Hand {
  public:
    struct Source {
        const StrokeFace *face;
        float weight;
    };

    // A writer's hand: a main face by weight (never a capitals-only one), another face or two
    // for the letters the writer forms differently (`style.mixFaces`), sometimes capitals from
    // a capitals-only face, every glyph deformed by `style.shapeVariation`. `fallback` writes
    // what the chosen faces lack; may be null.
    static Hand Draw(const std::vector<Source> &faces, const StrokeFace *fallback,
                     const WriterStyle &style, Random &rng);
    // The glyphs of one face as they are (for tests and for looking at a face).
    static Hand Plain(const StrokeFace &face, const StrokeFace *fallback);

    // Null for characters none of the faces covers.
    const HandGlyph *Find(char c) const;
    // The main face's name.
    const std::string &name() const { return name_; }

  private:
    void Set(char c, HandGlyph g);
    std::array<HandGlyph, StrokeFace::kGlyphCount> glyphs_{};
    std::array<bool, StrokeFace::kGlyphCount> present_{};
    std::string name_;
};

// A glyph of `face` in x-height units; capitals-only faces are scaled by their cap height to
// `capHeight` x-heights.
HandGlyph Normalise(const StrokeFace &face, const Glyph &g, bool capitalsOnly, float capHeight);

// The writer-level deformation of one glyph (exposed for tests): `amount` 0 leaves it as it is.
void DeformGlyph(HandGlyph &g, const WriterStyle &style, float amount, Random &rng);

}  // namespace inksynth
