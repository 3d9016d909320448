// CharSources: clean drawings of the characters the trainer learns: Chinese characters from
// the stroke centre-lines of the npm package hanzi-writer-data and the kit's 50 pen gestures,
// drawn from their definitions. (Latin characters come from Hershey stroke fonts, read by
// inksynth.)
#pragma once

#include <string>
#include <vector>

#include "Ink.h"

namespace chartrain {

// Reads the medians of one character from hanzi-writer-data's "<char>.json" in `dir`.
// The data is in a 1024 box with y up; the ink comes back with screen y = 900 - y.
// Returns false when the file is missing or unreadable.
bool LoadHanziMedians(const std::string &dir, const std::string &utf8Char, Ink *out);

// The pen gestures: code i + 1 is gesture i (the recogniser reports code - 1).
struct GestureInfo {
    int code;
    const char *name;
};
constexpr int kGestureCount = 50;
const GestureInfo *GestureTable();  // kGestureCount rows
Ink GestureInk(int code);

}  // namespace chartrain
