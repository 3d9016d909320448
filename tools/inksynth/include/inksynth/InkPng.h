// Renders ink to a greyscale PNG for a look at what the synthesiser made.
#pragma once

#include <string>

#include "inksynth/Ink.h"

namespace inksynth {

struct PngOptions {
    float scale = 1.0f;       // output pixels per ink unit
    int margin = 8;           // pixels around the ink
    float penWidth = 1.5f;    // line width in output pixels
    bool markPoints = false;  // draw the sampled points as dots (to see pen speed)
};

// Writes the ink to `path`; false when the file cannot be written or the ink is empty.
bool WriteInkPng(const std::string &path, const Ink &ink, const PngOptions &options,
                 std::string *error);

}  // namespace inksynth
