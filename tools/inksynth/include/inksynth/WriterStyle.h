// The habits of one synthetic writer: size, slant, spacing, how steady the hand is, how fast
// the pen moves and where it lifts. One style is drawn per writer and kept for all its words.
#pragma once

#include <string>

#include "inksynth/Random.h"

namespace inksynth {

struct WriterStyle {
    float xHeight = 30;         // height of the lower-case body in tablet pixels
    float slantDeg = 0;         // lean of the up-strokes; positive leans to the right
    float widthScale = 1;       // letter width relative to the face
    float letterGap = 0;        // extra space between letters, in x-heights
    float wordGap = 0.9f;       // space between words, in x-heights
    float ascender = 1;         // length of ascenders and capitals relative to the face
    float descender = 1;        // length of descenders relative to the face
    float baselineAmp = 0;      // slow wander of the baseline, in x-heights
    float baselineWave = 8;     // its wavelength, in x-heights
    float lineAngleDeg = 0;     // rotation of the whole line
    float letterJitter = 0.5f;  // 0 = every letter identical, 1 = a very unsteady hand
    float elastic = 0.04f;      // smooth distortion of the whole writing, in x-heights
    float tremor = 0.3f;        // sampling noise of the pen, in pixels
    float penStep = 3;          // pen travel between two samples at full speed, in pixels
    float slowdown = 0.5f;      // how much the pen slows in curves (0 = constant speed)
    float rounding = 0.5f;      // how much the corners of the glyph polylines are rounded
    float joinLift = 0.1f;      // chance that the pen lifts between two joined letters
    float strokeBreak = 0.03f;  // chance that a stroke is broken by a short lift
    float delayMarks = 0.5f;    // chance that i-dots and t-bars are written after the word
    float reverse = 0.03f;      // chance that a separate stroke is drawn the other way round
    // Letter shapes (used when the writer's hand is drawn, see Hand):
    float shapeVariation = 0;  // how far the writer's letters depart from the face's, 0..1
    float mixFaces = 0;        // chance that a letter is formed as in another face
    float reorderStrokes = 0;  // chance that a letter's strokes are written in another order
    float liftMerge = 0;       // chance that strokes that meet are drawn without a lift
    float connect = 0;         // chance that print letters are linked by a connecting stroke

    // A writer drawn at random; `tidy` in [0, 1] narrows every spread towards neat writing.
    static WriterStyle Draw(Random &rng, float tidy = 0);
    // Turns the writer into one whose letter bodies are small against long loops: ascenders,
    // capitals and descenders up to two or three times the usual length, and narrower letters.
    // Many people write so; the ink pipeline scales a writing by its whole height, so such
    // writing reaches the network with far fewer frames a letter.
    void LengthenLoops(Random &rng);
    // Turns the writer into one whose letters depart far from any face: strong per-letter
    // deformation and many letters formed as in the two other faces the hand borrows from.
    // Real writers' letter forms are not any font's; these teach the network shapes between
    // and beyond the faces.
    void RoughenShapes(Random &rng);
    std::string Describe() const;
};

}  // namespace inksynth
