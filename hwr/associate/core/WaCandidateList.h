// The ranked candidate list of one association: at most 256 candidates, each a 32-bit score and a
// text slot, kept in descending order of score through an array of slot indexes. Same candidates
// are merged on insertion, so the list never holds two of them. It lives inside the session's
// memory block and is cleared, not constructed.
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
    // afterwards is that of a selection sort by descending score, which takes the earliest of
    // equal highest scores, run over the list after the change.
    void Offer(const iWWA_Char *text, uint32_t length, uint32_t score);

    uint32_t Count() const { return count_; }
    // Quick refusal: a candidate with this score cannot enter the list.
    bool Refuses(uint32_t score) const {
        return count_ == kCapacity && score <= score_[order_[kCapacity - 1]];
    }
    uint32_t Score(uint32_t rank) const { return score_[order_[rank]]; }
    const iWWA_Char *Text(uint32_t rank, uint32_t *length) const {
        *length = length_[order_[rank]];
        return text_[order_[rank]];
    }

  private:
    static constexpr uint32_t kBuckets = 1024;
    static constexpr uint32_t kMagic = 0x57414331;  // "WAC1"

    uint32_t KeyLength(const iWWA_Char *text, uint32_t length) const;
    static uint32_t Hash(const iWWA_Char *key, uint32_t length);
    static uint32_t Bucket(uint32_t hash) { return (hash * 0x9e3779b1u) >> 22; }
    int32_t Find(const iWWA_Char *key, uint32_t keyLength, uint32_t hash) const;
    void Index(uint32_t slot);
    void Unindex(uint32_t slot);
    void Store(uint32_t slot, const iWWA_Char *text, uint32_t length, uint32_t hash);
    void Raise(uint32_t position);

    uint32_t capacity_;
    uint32_t textUnits_;
    uint32_t magic_;
    uint32_t count_;
    uint32_t mode_;
    uint32_t score_[kCapacity];
    uint32_t hash_[kCapacity];
    uint16_t length_[kCapacity];
    uint16_t order_[kCapacity];     // slot of each rank
    uint16_t position_[kCapacity];  // rank of each slot
    uint16_t bucket_[kBuckets];     // slot + 1, 0 when empty; open addressing by key hash
    iWWA_Char text_[kCapacity][kTextUnits];
};

}  // namespace wa
