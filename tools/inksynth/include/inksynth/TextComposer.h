// Writes a text in a writer's hand: places the hand's glyphs with the writer's spacing and
// per-letter variation, joins the letters of a joined face into running strokes, links print
// letters as the writer habitually does, and then puts the result through the pen model
// (warps, rounding, pen speed, tremor, lifts).
#pragma once

#include <string>

#include "inksynth/Hand.h"
#include "inksynth/Ink.h"
#include "inksynth/Random.h"
#include "inksynth/StrokeFace.h"
#include "inksynth/WriterStyle.h"

namespace inksynth {

class TextComposer {
  public:
    explicit TextComposer(const Hand &hand) : hand_(hand) {}

    // The glyphs laid out in x-height units (baseline y = 0, y down), before the pen model.
    // Characters the hand lacks are written as a gap.
    Ink Layout(const std::string &text, const WriterStyle &style, Random &rng) const;

    // The finished writing in tablet pixels, its box starting a small margin from (0, 0).
    Ink Write(const std::string &text, const WriterStyle &style, Random &rng) const;

  private:
    const Hand &hand_;
};

// The pen model alone, for ink laid out in x-height units.
Ink ApplyPen(Ink layout, const WriterStyle &style, Random &rng);

}  // namespace inksynth
