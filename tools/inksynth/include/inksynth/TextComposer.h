// Writes a text with a stroke face in a writer's hand: places the glyphs with the writer's
// spacing and per-letter variation, joins the letters of a joined face into running strokes,
// and then puts the result through the pen model (warps, rounding, pen speed, tremor, lifts).
#pragma once

#include <string>

#include "inksynth/Ink.h"
#include "inksynth/Random.h"
#include "inksynth/StrokeFace.h"
#include "inksynth/WriterStyle.h"

namespace inksynth {

class TextComposer {
  public:
    // `fallback` supplies characters `face` lacks (digits, punctuation); may be null.
    TextComposer(const StrokeFace &face, const StrokeFace *fallback)
        : face_(face), fallback_(fallback) {}

    // The glyphs laid out in x-height units (baseline y = 0, y down), before the pen model.
    // Characters neither face covers are written as a gap.
    Ink Layout(const std::string &text, const WriterStyle &style, Random &rng) const;

    // The finished writing in tablet pixels, its box starting a small margin from (0, 0).
    Ink Write(const std::string &text, const WriterStyle &style, Random &rng) const;

  private:
    const StrokeFace &face_;
    const StrokeFace *fallback_;
};

// The pen model alone, for ink laid out in x-height units.
Ink ApplyPen(Ink layout, const WriterStyle &style, Random &rng);

}  // namespace inksynth
