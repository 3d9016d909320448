// EngineState: what a CharEngine keeps at the start of its work memory, and the candidate
// list that its stages hand on.
#pragma once

#include <cstdint>

#include "CharDictionary.h"
#include "CharEngine.h"
#include "ScratchPool.h"

namespace chareng {

// A model as the engine records it: header block and data (projection matrix or index table).
struct ModelRecord {
    uint32_t reserved0, reserved1;
    const uint8_t *header;
    const uint8_t *data;
    uint32_t reserved4;
};

struct EngineParams {
    int32_t candidates;
    uint32_t range;
    const uint8_t *display;  // selected display-code table
    const uint8_t *width;    // selected width table
    uint16_t special[kCharSpecialCodes];
    int32_t rotations;
    int32_t specialAnywhere;  // parameter 5
    const void *pointer8;
    int32_t sublangValue;
    const uint8_t *sublangEntry;  // 16-bit length, then codes; null when none is selected
    const uint16_t *allowed;
    int32_t allowedCount;
    int32_t box[11];
    int32_t noCalibration;  // parameter 11
    int32_t word12;
};

struct EngineState {
    const uint8_t *dictionary;
    ModelRecord main, sub;
    uint32_t codeCount;        // T1 bytes / 2
    const uint8_t *tables[4];  // T0..T3
    uint16_t sublangCount;
    const uint8_t *sublangEntries;
    const void *prior;
    EngineParams params;
    uint32_t specialBase, specialCount;
    int32_t dim;
    uint32_t headerWord7, headerWord6;
    // Kept beside the raw header words so that recognition need not lay the image out again.
    uint32_t subIndexEntries;
    ScratchPool pool;
};

struct Candidate {
    uint32_t cls;
    int32_t score;
};

// Sorted candidate list of at most kCharMaxCandidates entries, ascending score.
struct CandidateList {
    Candidate item[kCharMaxCandidates];
    int count = 0;
    // Inserts by score after any equal scores; a full list drops its last entry.
    void Insert(uint32_t cls, int32_t score);
};

// Main classifier: projection, coarse and fine search, MQDF, sub-language restriction and
// removal of duplicate classes. `pairs` are folded. Returns false when scratch runs out.
bool ClassifyTemplates(EngineState &st, const int16_t *pairs, CandidateList *out);

// Stroke-matcher pass over the classes of `a`.
bool MatchStrokes(EngineState &st, const int16_t *pairs, const CandidateList &a,
                  CandidateList *out);

inline uint16_t TableCode(const uint8_t *table, uint32_t c) {
    return ReadU16(table + 2 * c);
}

}  // namespace chareng
