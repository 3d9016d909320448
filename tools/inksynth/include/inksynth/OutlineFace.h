// Stroke faces from outline fonts (handwriting TrueType/OpenType faces): each glyph is rendered,
// thinned to its centre line and traced into pen strokes, drawn from their top-left ends and
// continued straight through crossings, as a writer would draw them.
#pragma once

#include <optional>
#include <string>

#include "inksynth/StrokeFace.h"

namespace inksynth {

// `pixels`: rendering size of the em square (larger is finer and slower). Glyph units are
// pixels of that rendering, y down, the baseline at 0.
std::optional<StrokeFace> LoadOutlineFace(const std::string &path, int pixels, std::string *error);

// The centre lines of a binary picture (non-zero = ink), `w` x `h`, row after row, traced into
// strokes in picture coordinates. Exposed for tests.
std::vector<Stroke> TraceCentreLines(std::vector<unsigned char> ink, int w, int h);

}  // namespace inksynth
