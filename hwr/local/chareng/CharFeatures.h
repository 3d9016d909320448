// CharFeatures: the 2944 raw feature values of one handwritten character.
//
// Values 0..1023 describe the pen trajectory. The writing is scaled into a 512 x 512 frame
// (aspect kept), then each axis goes through a mapping table onto a 64 x 64 grid: a bi-moment
// normalisation (centroid and one-sided second moments of the ink, aspect ratio adapted), so
// that the dense parts of a character spread out and its outliers pull less. Each piece of
// trajectory is split by its direction, measured in the 512 frame, into the two nearest of
// eight directions and laid onto the grid; real strokes and the pen-up moves between them
// ("imaginary strokes") go to separate planes. Every plane is sampled at 8 x 8 points with a
// Gaussian. The layout is four blocks of 256, one per axis a = 0..3: direction a (real 8 x 8,
// then imaginary 8 x 8), then direction a + 4 (same), so that reversing the point order of
// every stroke exchanges the two halves of each block.
//
// Values 1024..2943 describe a rendering of the real strokes on the same grid: the gradient of
// the image split into eight directions and sampled at 8 x 8 (512 values) and 12 x 12 (1152
// values) points, the ink density at 16 x 16 points less the last one (255 values), and a
// constant (the last value) that carries the projection's offset. None of them depends on the
// direction in which a stroke was drawn.
//
// Every value is the square root of its share of the block's total, scaled to 0..2048.
#pragma once

#include <cstdint>

#include "ScratchPool.h"

namespace chareng {

constexpr int kFeatureScale = 2048;
constexpr int16_t kConstantFeature = 1024;  // the value of raw[2943]
constexpr int kMaxPoints = 1024;

// Computes R1 from folded point pairs (pen-up pairs (-1, 0), ending with (-1, -1) or after
// kMaxPoints pairs). When r2 is not null, also R2: R1 of the writing with every stroke
// reversed. Returns false when the scratch pool is too small.
bool ComputeRawFeatures(const int16_t *pairs, ScratchPool &pool, int16_t *r1, int16_t *r2);

// The engine's projection of raw values: y[j] = clamp(sum raw[i] W[i][j] / divisor, -128, 127),
// stored as y + 128. `projection` is the dictionary's 2944 x dim little-endian matrix.
void ProjectFeatures(const int16_t *raw, const uint8_t *projection, int dim, int32_t divisor,
                     uint8_t *y);

// R2's trajectory block from R1's: in each block of 256 the two halves change places.
void ReverseGridFeatures(const int16_t *r1, int16_t *r2);

}  // namespace chareng
