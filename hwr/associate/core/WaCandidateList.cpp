#include "WaCandidateList.h"

#include <cstring>

namespace wa {

void CandidateList::Init() {
    capacity_ = kCapacity;
    textUnits_ = kTextUnits;
    magic_ = kMagic;
    Clear(iWWA_MODE_MULTI);
}

bool CandidateList::Intact() const {
    return capacity_ == kCapacity && textUnits_ == kTextUnits && magic_ == kMagic &&
           count_ <= kCapacity;
}

void CandidateList::Clear(uint32_t mode) {
    count_ = 0;
    mode_ = mode;
    std::memset(bucket_, 0, sizeof bucket_);
}

uint32_t CandidateList::KeyLength(const iWWA_Char *text, uint32_t length) const {
    if (mode_ == iWWA_MODE_MULTI)
        return length;
    // Single-character mode keys on the first character; a surrogate pair is one character.
    const bool pair = length >= 2 && (text[0] & 0xfc00) == 0xd800 && (text[1] & 0xfc00) == 0xdc00;
    return pair ? 2 : 1;
}

uint32_t CandidateList::Hash(const iWWA_Char *key, uint32_t length) {
    uint32_t h = 2166136261u;
    for (uint32_t i = 0; i < length; ++i)
        h = (h ^ key[i]) * 16777619u;
    return h;
}

int32_t CandidateList::Find(const iWWA_Char *key, uint32_t keyLength, uint32_t hash) const {
    for (uint32_t b = Bucket(hash);; b = (b + 1) % kBuckets) {
        if (bucket_[b] == 0)
            return -1;
        const uint32_t slot = bucket_[b] - 1u;
        if (hash_[slot] != hash)
            continue;
        if (KeyLength(text_[slot], length_[slot]) == keyLength &&
            std::memcmp(text_[slot], key, 2 * keyLength) == 0)
            return static_cast<int32_t>(slot);
    }
}

void CandidateList::Index(uint32_t slot) {
    uint32_t b = Bucket(hash_[slot]);
    while (bucket_[b] != 0)
        b = (b + 1) % kBuckets;
    bucket_[b] = static_cast<uint16_t>(slot + 1);
}

void CandidateList::Unindex(uint32_t slot) {
    uint32_t hole = Bucket(hash_[slot]);
    while (bucket_[hole] != slot + 1)
        hole = (hole + 1) % kBuckets;
    // Backward-shift deletion: pull up every later entry of the probe run that may not stay
    // behind the hole.
    for (uint32_t b = (hole + 1) % kBuckets; bucket_[b] != 0; b = (b + 1) % kBuckets) {
        const uint32_t home = Bucket(hash_[bucket_[b] - 1u]);
        const bool stays = hole < b ? (home > hole && home <= b) : (home > hole || home <= b);
        if (stays)
            continue;
        bucket_[hole] = bucket_[b];
        hole = b;
    }
    bucket_[hole] = 0;
}

void CandidateList::Store(uint32_t slot, const iWWA_Char *text, uint32_t length, uint32_t hash) {
    std::memcpy(text_[slot], text, 2 * length);
    text_[slot][length] = 0;
    length_[slot] = static_cast<uint16_t>(length);
    hash_[slot] = hash;
}

// The entry at `position` has just received its score; every other entry is in order. A
// selection sort then moves it up to the first lower entry and carries each displaced entry on
// to the next entry that scores lower than it; entries of equal score are never swapped.
void CandidateList::Raise(uint32_t position) {
    const uint32_t s = score_[order_[position]];
    if (position == 0 || score_[order_[position - 1]] >= s)
        return;
    uint32_t lo = 0, hi = position - 1;  // first rank that scores lower than s
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (score_[order_[mid]] < s) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    uint16_t carried = order_[position];
    for (uint32_t k = lo; k < position; ++k) {
        if (score_[carried] > score_[order_[k]]) {
            const uint16_t displaced = order_[k];
            order_[k] = carried;
            position_[carried] = static_cast<uint16_t>(k);
            carried = displaced;
        }
    }
    order_[position] = carried;
    position_[carried] = static_cast<uint16_t>(position);
}

void CandidateList::Offer(const iWWA_Char *text, uint32_t length, uint32_t score) {
    if (Refuses(score))
        return;  // neither a new entry nor a raise of a same one
    const uint32_t keyLength = KeyLength(text, length);
    const uint32_t hash = Hash(text, keyLength);
    const int32_t same = Find(text, keyLength, hash);
    if (same >= 0) {
        if (score <= score_[same])
            return;
        score_[same] = score;
        Raise(position_[same]);
        return;
    }
    uint32_t slot, position;
    if (count_ < kCapacity) {
        slot = position = count_++;
    } else {
        position = kCapacity - 1;
        slot = order_[position];
        Unindex(slot);
    }
    Store(slot, text, length, hash);
    Index(slot);
    score_[slot] = score;
    order_[position] = static_cast<uint16_t>(slot);
    position_[slot] = static_cast<uint16_t>(position);
    Raise(position);
}

}  // namespace wa
