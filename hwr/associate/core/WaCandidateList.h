// The ranked candidate list of one association: at most 256 candidates, each a 32-bit score and a
// text slot, in descending order of score. Same candidates are merged on insertion, so the list
// never holds two of them. It lives inside the session's memory block and is cleared, not
// constructed.
#pragma once

#include <cstdint>

#include "WaFormat.h"
#include "iWWA.h"

namespace wa {

class CandidateList {
  public:
    static constexpr uint32_t kCapacity = 256;
    static constexpr uint32_t kTextUnits = kMaxCandidateUnits + 1;

    // Sets the fixed fields and empties the list.
    void Init();
    // False when the fixed fields have been overwritten.
    bool Intact() const;
    // Empties the list for an association in `mode`: whole texts are the same candidate when
    // equal (multi), first characters when equal (single).
    void Clear(uint32_t mode);

    // Inserts a candidate of 1 to kMaxCandidateUnits units. A candidate that is the same as an
    // entry raises that entry's score when higher and is dropped otherwise; a new one is added
    // while there is room, else it replaces the lowest entry when it scores higher. The order
    // afterwards is the one that a selection sort by descending score, taking the earliest of
    // equal highest scores, leaves when it runs over the list after the change.
    void Offer(const iWWA_Char *text, uint32_t length, uint32_t score);

    uint32_t Count() const { return count_; }
    // Quick refusal: a candidate with this score cannot enter the list.
    bool Refuses(uint32_t score) const {
        return count_ == kCapacity && score <= runs_[runCount_ - 1].score;
    }
    // Calls visit(text, length) for the first `limit` candidates, best first.
    template <class Visit>
    void ForEach(uint32_t limit, Visit &&visit) const;

  private:
    static constexpr uint32_t kBuckets = 1024;
    static constexpr uint32_t kMagic = 0x57414332;  // "WAC2"
    static constexpr uint16_t kNone = 0xffff;

    // The entries of one score, in list order, linked through next_ and prev_.
    struct Run {
        uint32_t score;
        uint16_t head, tail;
    };

    // 256 flags kept beside the run array as it shifts; flags past the last run are clear.
    struct Bits {
        static constexpr uint32_t kWords = kCapacity / 64;
        uint64_t w[kWords];
        void Set(uint32_t i, bool on);
        // A clear flag enters at i, the flags from i on move up one (insertion of a run).
        void Insert(uint32_t i);
        // The flag at i leaves, the ones after it move down one (removal of a run).
        void Erase(uint32_t i);
        // The first set flag in [from, to), else `to`.
        uint32_t Next(uint32_t from, uint32_t to) const;
    };

    uint32_t KeyLength(const iWWA_Char *text, uint32_t length) const;
    static uint32_t Hash(const iWWA_Char *key, uint32_t length);
    static uint32_t Bucket(uint32_t hash) { return (hash * 0x9e3779b1u) >> 22; }
    int32_t Find(const iWWA_Char *key, uint32_t keyLength, uint32_t hash) const;
    void Index(uint32_t slot);
    void Unindex(uint32_t slot);
    void Store(uint32_t slot, const iWWA_Char *text, uint32_t length, uint32_t hash);

    uint32_t RunOf(uint32_t score, bool *found) const;
    void Rotate(uint32_t from, uint32_t to);
    void Place(uint16_t slot, uint32_t score, uint32_t rotateTo);
    void Unlink(uint16_t slot, uint32_t run);
    void Raise(uint16_t slot, uint32_t score);

    uint32_t capacity_;
    uint32_t textUnits_;
    uint32_t magic_;
    uint32_t count_;
    uint32_t mode_;
    uint32_t runCount_;
    Run runs_[kCapacity];  // descending score
    Bits multi_;           // runs of two or more entries
    uint32_t score_[kCapacity];
    uint32_t hash_[kCapacity];
    uint16_t length_[kCapacity];
    uint16_t next_[kCapacity];
    uint16_t prev_[kCapacity];
    uint16_t bucket_[kBuckets];  // slot + 1, 0 when empty; open addressing by key hash
    iWWA_Char text_[kCapacity][kTextUnits];
};

template <class Visit>
void CandidateList::ForEach(uint32_t limit, Visit &&visit) const {
    for (uint32_t r = 0; r < runCount_; ++r) {
        for (uint16_t s = runs_[r].head; s != kNone; s = next_[s]) {
            if (limit-- == 0)
                return;
            visit(static_cast<const iWWA_Char *>(text_[s]), static_cast<uint32_t>(length_[s]));
        }
    }
}

}  // namespace wa
