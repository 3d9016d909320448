// Clean drawings of characters: strokes of inksynth's points (screen orientation, y down), in
// whatever units their source uses. InkAugmenter writes them in a writer's hand.
#pragma once

#include <vector>

#include "inksynth/Ink.h"

namespace chartrain {

using Pt = inksynth::Point;
using Stroke = inksynth::Stroke;
using Ink = std::vector<Stroke>;

}  // namespace chartrain
