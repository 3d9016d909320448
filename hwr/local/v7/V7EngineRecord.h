// The records behind the V7 engine interface: the engine (resource sections) and the engine
// session (settings, ink buffers, network, both searchers, the N-best list).
#pragma once

#include <cstdint>

#include "InkPipeline.h"
#include "LatticeSearch.h"
#include "NBestList.h"
#include "Network.h"
#include "WordList.h"
#include "WordModel.h"
#include "iWFS.h"

// Offsets in main section 0, the engine configuration.
namespace v7config {
inline constexpr int kParam0Flags = 0;  // 249 bytes
inline constexpr int kParam0Count = 249;
inline constexpr int kParam1Flags = 249;  // 184 bytes
inline constexpr int kParam1Count = 184;
inline constexpr int kCharSetFlags = 433;  // 36 bytes, also the initial flags
inline constexpr int kCharSetCount = 36;
inline constexpr int kParam3Flags = 469;     // 3 bytes
inline constexpr int kSplitModeFlags = 472;  // 6 bytes
inline constexpr int kDefaultParam3 = 524;
inline constexpr int kDefaultCandidates = 528;
inline constexpr int kDefaultSplitMode = 532;
inline constexpr int kDefaultWidth = 536;
inline constexpr int kCharBeam = 540;
inline constexpr int kCharSpan = 544;  // 1 byte
inline constexpr int kCharCostWeight = 548;
inline constexpr int kSize = 552;
// Additional section 0, the word-pass configuration.
inline constexpr int kWordBeam = 0;
inline constexpr int kWordSpan = 4;  // 1 byte
inline constexpr int kWordCostWeight = 8;
inline constexpr int kWordOrder = 12;          // 1 byte
inline constexpr int kWordLookAhead = 13;      // 1 byte
inline constexpr int kWordLookAheadCost = 14;  // 1 byte
inline constexpr int kWordModelWeight = 16;
inline constexpr int kWordSize = 20;
}  // namespace v7config

inline constexpr int kMaxCandidates = 32;
inline constexpr int kMaxResultChars = 1024;
inline constexpr uint32_t kCharPathLength = 8192;  // elements of a character path
inline constexpr uint32_t kSearchCapacity = 32;    // candidates per span

struct iWFS_Engine {
    const unsigned char *mainImage;
    const unsigned char *additionalImage;
    const unsigned char *main0;
    const unsigned char *main1;
    uint32_t main0Size;
    uint32_t main1Size;
    const unsigned char *additional0;
    const unsigned char *additional1;
    uint32_t additional0Size;
    uint32_t additional1Size;
    v7::WordModel wordModel;  // valid when additional1 is set
};

struct iWFS_Session {
    const iWFS_Engine *engine;
    size_t size;
    int32_t param0, param1, param3;
    uint8_t charSet[v7config::kCharSetCount];
    int32_t candidates;
    int32_t splitMode;
    int32_t width;
    int32_t minChars, maxChars;
    uint16_t char9, char10;
    v7::WordList lists[4];  // allowed, excluded, required, forbidden
    bool listSet[4];
    iWFS_ResultFunction resultFunction;
    void *resultContext;
    uint8_t allowed[256];
    v7::LatticeSearchConfig charConfig;
    v7::LatticeSearchConfig wordConfig;
    v7::InkPipeline *ink;
    v7::Network *network;
    v7::LatticeSearch *charSearch;
    v7::LatticeSearch *wordSearch;
    v7::NBestList nbest;
    // Frame source state of the character pass: output frames of the lines before the current.
    int earlierFrames;
    uint16_t pathChars[kCharPathLength + 1];
    uint16_t pathCosts[kCharPathLength + 1];
    uint16_t collapsed[kMaxResultChars];
    uint16_t collapsedCosts[kMaxResultChars];
    uint16_t text[v7::NBestList::kMaxText];
    uint32_t scores[kMaxCandidates];
    float confidences[kMaxCandidates];
    alignas(v7::InkPipeline) unsigned char ink_storage[sizeof(v7::InkPipeline)];
};
