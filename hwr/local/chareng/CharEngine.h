// CharEngine: recognises one handwritten character (or pen gesture) against a CharDictionary
// and returns ranked candidate codes.
//
// C-style and allocation-free: the caller hands in a read-only dictionary image (which any
// number of engines may share) and a block of work memory of kCharEngineWorkSize bytes; the
// engine keeps its state and every temporary array inside that block. The handle is the start
// of the work memory and lives until the caller frees it; CharEngineEnd releases nothing.
// One handle is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

// Work memory the callers supply; the engine clears and uses kCharEngineMinWorkSize of it.
constexpr size_t kCharEngineWorkSize = 86016;
extern const size_t kCharEngineMinWorkSize;

enum CharEngineParam : int {
    kCharParamCandidates = 0,    // 0..50 stored, other values give 10
    kCharParamRange = 1,         // template groups to search (range mask)
    kCharParamDisplay = 2,       // 0 T1, 1 T3 (simplified), 2 T2 (traditional)
    kCharParamWidth = 3,         // 1 T1 (half width), 0 T2 (full width)
    kCharParamSpecial = 4,       // 50 16-bit codes of the gesture classes, or null
    kCharParamSpecialAny = 5,    // 0: a gesture only as the first candidate
    kCharParamSublang = 6,       // sub-language entry; 1000000 none
    kCharParamRotations = 7,     // 2, 4 or 7 extra rotated passes (needs calibration)
    kCharParamPointer8 = 8,      // stored only
    kCharParamAllowed = 9,       // codes ended by 0 or 0xFFFF that may be output, or null
    kCharParamBox = 10,          // eleven 32-bit words of writing box, or null
    kCharParamNoCalibrate = 11,  // 1 turns calibration off
    kCharParamWord12 = 12,       // stored only
};

constexpr int kCharMaxCandidates = 50;
constexpr int kCharSpecialCodes = 50;
constexpr int32_t kCharNoSublang = 1000000;

// Starts an engine on `dictionary` in `memory`. Returns the handle, or null for a null
// dictionary or one the engine refuses. `prior` is not used (callers pass null).
void *CharEngineStart(const void *dictionary, const void *prior, void *memory);

// Checks a dictionary image of `size` bytes completely (sections inside the image, records
// that add up, no zero divisors) before it is handed to CharEngineStart, which cannot know
// the image's size. Returns 0 when it is sound, else a non-zero reason (see CharDictionary.h).
int CharEngineCheckDictionary(const void *dictionary, size_t size);

// Sets parameter `id` from the value `value` points at (for ids 4, 8, 9, 10, `value` is the
// pointer itself). Returns 1 when the id is known, 0 when it is ignored.
int CharEngineSetParam(void *handle, int id, const void *value);

// Recognises `strokes` (point pairs, (-1, 0) ends a stroke, (-1, -1) the writing). At most 4096
// bytes are used: a longer writing is cut by overwriting the pairs at bytes 4088 and 4092 with
// (-1, 0) and (-1, -1). Writes up to the candidate count of codes to `codes` followed by a 0
// (so `codes` needs room for that count + 1), with their scores and secondary codes when those
// pointers are not null. Returns the number of candidates; 0 for a null argument.
int CharEngineRecog(void *handle, int16_t *strokes, uint16_t *codes, int32_t *scores,
                    uint16_t *secondary);

// Ends the engine; nothing to release. Returns 1.
int CharEngineEnd(void *handle);
