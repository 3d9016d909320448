// The V7 engine: free-writing recognition from strokes to ranked strings, with a C-style
// interface. An engine is built once per resource set in memory the caller supplies and is
// read-only afterwards; each user holds an engine session, in its own buffer, that one thread
// at a time recognises with. Results arrive through a result function during the call.
//
// Resources are passed with their sizes (they are checked against them). Parameter values are
// passed by pointer: a 32-bit integer unless the table in iWFS_Session_SetParam says otherwise.
// Codes: 0 success, 1 bad argument, 2 not allowed by the engine configuration, 6 invalid
// resource, 9 nothing recognised, 10 internal structure failure, 100 malformed ink.
#pragma once

#include <cstddef>
#include <cstdint>

struct iWFS_Engine;
struct iWFS_Session;

enum iWFS_Code {
    kWfsOk = 0,
    kWfsBadArgument = 1,
    kWfsNotAllowed = 2,
    kWfsInvalidResource = 6,
    kWfsNothingRecognised = 9,
    kWfsInternal = 10,
    kWfsMalformedInk = 100,
};

// Receives each result, best first: (context, 16-bit text, length in characters, confidence).
using iWFS_ResultFunction = void (*)(void *context, const uint16_t *text, int length,
                                     float confidence);

// A resource image for parameters 11 to 14: a SectionedResource whose section 0 is a word list;
// a null data pointer clears the list.
struct iWFS_ResourceRef {
    const void *data;
    size_t size;
};

// Parameter ids of iWFS_Session_SetParam.
enum iWFS_Param {
    kWfsParam0 = 0,              // index 0..248, stored
    kWfsParam1 = 1,              // index 0..183, stored
    kWfsCharSet = 2,             // 36 flag bytes: 0 number, 1 lower, 2 upper, 3 alphabet, 4 alnum,
                                 // 5 symbol, 6 punctuation, 7 symbol and punctuation
    kWfsParam3 = 3,              // 0..2, stored
    kWfsCandidates = 4,          // 1..32
    kWfsSplitMode = 5,           // 0..5; 0 = a single character
    kWfsWidth = 6,               // 1 wide forms, 0 narrow forms
    kWfsMinChars = 7,            // 1..1024
    kWfsMaxChars = 8,            // 1..1024
    kWfsChar9 = 9,               // 16-bit character, not 0, stored
    kWfsChar10 = 10,             // 16-bit character, not 0, stored
    kWfsAllowedWords = 11,       // iWFS_ResourceRef
    kWfsExcludedWords = 12,      // iWFS_ResourceRef
    kWfsRequiredList = 13,       // iWFS_ResourceRef
    kWfsForbiddenList = 14,      // iWFS_ResourceRef
    kWfsResultFunction = 15,     // iWFS_ResultFunction
    kWfsResultContext = 16,      // void *
    kWfsWordSpan = 17,           // 1..255
    kWfsWordCostWeight = 18,     // >= 1
    kWfsWordLookAhead = 19,      // byte
    kWfsWordLookAheadCost = 20,  // 0..255
    kWfsWordModelWeight = 21,    // >= 1
};

// Size of the engine object: sizeof(iWFS_Engine), plus room for unscrambled copies of the
// sections of keyed resources (the shared images are never written).
int iWFS_Engine_GetStackSize(const void *mainResource, size_t mainSize,
                             const void *additionalResource, size_t additionalSize, size_t *size);
int iWFS_Engine_Init(const void *mainResource, size_t mainSize, const void *additionalResource,
                     size_t additionalSize, void *memory, size_t size, iWFS_Engine **engine);
int iWFS_Engine_Uninit(iWFS_Engine *engine);

int iWFS_Session_GetBufSize(const iWFS_Engine *engine, size_t *size);
int iWFS_Session_Init(const iWFS_Engine *engine, void *memory, size_t size, iWFS_Session **session);
int iWFS_Session_SetParam(iWFS_Session *session, int id, const void *value);
// points: count (x, y) pairs of 32-bit values with the kit's markers, count in [4, 102400].
int iWFS_Session_Recognize(iWFS_Session *session, const int32_t *points, int count);
int iWFS_Session_Uninit(iWFS_Session *session);
