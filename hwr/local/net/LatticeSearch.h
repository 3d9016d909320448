// The beam searcher of the V7 decoder, used twice: over the network's frames (character pass)
// and over a collapsed character string (word pass, with the word model). Paths grow by
// elements that each cover 1..maximum-span positions with one candidate character; each step
// keeps the B best candidates. Lives in memory the caller hands in and allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "WordList.h"
#include "WordModel.h"

namespace v7 {

// Candidates for the span [spanStart, spanEnd] after a path whose last element covers
// [lastStart, lastEnd] with lastChar (-1, -1, 0 for an empty path). Returns how many it wrote.
using CandidateSource = int (*)(void *context, int lastStart, int lastEnd, uint16_t lastChar,
                                int spanStart, int spanEnd, uint16_t *chars, uint16_t *costs,
                                int capacity);
// Extra acceptance of a path string (spaces and fillers left out).
using AcceptFunction = bool (*)(void *context, const uint16_t *text, int length, bool last);

struct LatticeSearchConfig {
    uint32_t capacity = 0;   // most candidates one span may offer
    uint32_t beam = 0;       // B: paths kept per step
    uint32_t maxLength = 0;  // L: most elements of a path
    CandidateSource source = nullptr;
    void *sourceContext = nullptr;
    uint8_t maxSpan = 1;  // positions one element may cover, 1..255
    uint32_t costWeight = 1;
    uint16_t filler = 0;   // offered at cost 65535 when a span yields nothing; 0 = none
    uint32_t scoring = 0;  // 0 mean cost per element, 1 mean cost per position
    const WordModel *wordModel = nullptr;
    uint8_t order = 0;  // n-gram order, 1..9 with a word model
    uint8_t lookAhead = 0;
    uint8_t lookAheadCost = 0;
    uint32_t wordModelWeight = 0;
    const WordList *allowedWords = nullptr;
    const WordList *excludedWords = nullptr;
    uint32_t minChars = 0;  // of a complete result; 0 = no limit
    uint32_t maxChars = 0;
    const WordList *requiredList = nullptr;
    const WordList *forbiddenList = nullptr;
    AcceptFunction accept = nullptr;
    void *acceptContext = nullptr;
};

class LatticeSearch {
  public:
    // Bytes a searcher with these sizes needs.
    static size_t MemorySize(uint32_t capacity, uint32_t beam, uint32_t maxLength);
    // Builds a searcher in memory of exactly MemorySize(capacity, beam, maxLength) bytes, 4-byte
    // aligned. Null when the size or the alignment is wrong or the configuration is invalid.
    static LatticeSearch *Create(void *memory, size_t size, const LatticeSearchConfig &config);

    // Replaces the configuration; capacity, beam and maximum length must stay. False otherwise.
    bool Update(const LatticeSearchConfig &config);
    const LatticeSearchConfig &config() const { return config_; }

    // Mode 0 starts afresh, 1 reopens every path whose last element covers fewer than the
    // maximum span, 2 continues the paths as they are (over positions appended since the last
    // run). Returns the number of paths in the beam after the last step (0 = none).
    int Run(int endPosition, int mode);

    // Path index's characters in order (with spaces after word ends when spaces is set, the
    // trailing one removed), converted to wide or narrow forms. Returns the number of
    // characters written (at most capacity); score and per-character costs are optional.
    int PathText(int index, bool spaces, bool toWide, bool toNarrow, uint16_t *text, int capacity,
                 uint32_t *score, uint16_t *costs) const;
    int pathCount() const { return pathCount_; }

  private:
    // Elements live in a pool as a tree: each points to the element before it, so paths that
    // share their beginning share its elements and a step copies nothing but the new ones.
    struct Node {
        int32_t parent;   // element before, -1 for none
        int32_t forward;  // index in the other pool while the pool is being compacted
        int32_t first, last;
        uint16_t ch, cost;
        uint8_t wordEnd;
    };
    struct Path {
        uint8_t active;
        int32_t count;       // elements
        int32_t lastNode;    // -1 for none
        int32_t firstStart;  // first position of the first element
        int32_t next;        // next position
        uint32_t score;
        // Kept so that a candidate's score costs no walk over the path.
        uint64_t costSum;                  // Σ element costs
        uint64_t weightedSum;              // Σ cost · positions covered
        uint64_t covered;                  // Σ positions covered
        uint32_t realChars;                // characters other than spaces and fillers
        uint64_t wordCost;                 // n-gram costs of the complete words
        uint32_t context[kMaxNgramOrder];  // newest tokens, oldest first
        int32_t contextLength;
        uint8_t unscorable;  // the model could not score a complete word
    };
    struct Candidate {
        int32_t source;  // -1 = free
        uint8_t carried;
        uint8_t wordEnd;
        int32_t first, last;
        uint16_t ch, cost;
        uint32_t score;
        // The candidate's effect on its source path, computed when it was scored.
        uint64_t wordCost;
        uint32_t newToken;
        uint8_t completes;
        uint8_t unscorable;
    };

    LatticeSearch() = default;
    static size_t PoolNodes(uint32_t beam, uint32_t maxLength);
    const Node *NodeAt(int32_t i) const { return i < 0 ? nullptr : &pool_[i]; }
    int32_t NewNode(const Node &n);
    void CompactPool();
    int Chain(const Path &p) const;  // the path's node indexes, first to last, into chain_
    void Expand(int path);
    void Extend(int path, uint16_t c, uint16_t q, int span);
    void Score(const Path &p, const Candidate &c, Candidate *out) const;
    void Insert(const Candidate &c);
    int Commit();
    int CurrentWord(const Path &p, uint16_t c, uint16_t *out) const;
    int PathString(const Path &p, uint16_t c, uint16_t *out) const;
    void Rescore(Path *p) const;

    LatticeSearchConfig config_;
    int end_ = 0;
    int pathCount_ = 0;
    int current_ = 0;  // which of the two tables holds the live paths
    uint16_t *candChars_ = nullptr;
    uint16_t *candCosts_ = nullptr;
    Path *paths_[2] = {nullptr, nullptr};
    Node *pools_[2] = {nullptr, nullptr};
    Node *pool_ = nullptr;  // the pool in use
    size_t poolSize_ = 0;   // nodes per pool
    size_t poolTop_ = 0;
    Candidate *table_ = nullptr;
    uint16_t *word_ = nullptr;    // maxLength + 1 characters
    uint16_t *string_ = nullptr;  // maxLength + 1 characters
    int32_t *chain_ = nullptr;    // maxLength + 1 node indexes
};

}  // namespace v7
