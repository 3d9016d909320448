// Checks of the stroke data and pen points that the front end makes before a plug-in sees them.
#pragma once

#include <cstdint>

namespace HwrToolFunc {

// A complete writing: more than 8 bytes, a multiple of 4, every point (-1,0) or x,y >= 0, ending
// in (-1,0)(-1,-1).
bool IsStrokesValid(const int16_t *data, uint32_t lengthBytes);
// A piece of a real-time writing: ends with (-1,0), or with (-1,0)(-1,-1) for the last piece.
bool IsStrokesValid_RealTime(const int16_t *data, uint32_t lengthBytes);
// One pen-script point: y >= 0, and x >= 0 or (x,y) = (-1,0).
bool IsPenPointValid(int32_t x, int32_t y);

}  // namespace HwrToolFunc
