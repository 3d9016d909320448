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
           count_ <= kCapacity && runCount_ <= count_;
}

void CandidateList::Clear(uint32_t mode) {
    count_ = 0;
    runCount_ = 0;
    mode_ = mode;
    multi_ = {};
    std::memset(bucket_, 0, sizeof bucket_);
}

// ---- same-candidate index -----------------------------------------------------------------

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
    // Candidates are mostly a few units long, too short for a library copy to pay off.
    for (uint32_t i = 0; i < length; ++i)
        text_[slot][i] = text[i];
    text_[slot][length] = 0;
    length_[slot] = static_cast<uint16_t>(length);
    hash_[slot] = hash;
}

// ---- flags beside the run array ----------------------------------------------------------

void CandidateList::Bits::Set(uint32_t i, bool on) {
    const uint64_t bit = uint64_t{1} << (i % 64);
    w[i / 64] = on ? (w[i / 64] | bit) : (w[i / 64] & ~bit);
}

void CandidateList::Bits::Insert(uint32_t i) {
    const uint32_t k = i / 64;
    const uint64_t low = (uint64_t{1} << (i % 64)) - 1;
    uint64_t carry = w[k] >> 63;
    w[k] = (w[k] & low) | ((w[k] & ~low) << 1);
    for (uint32_t j = k + 1; j < kWords; ++j) {
        const uint64_t out = w[j] >> 63;
        w[j] = (w[j] << 1) | carry;
        carry = out;
    }
}

void CandidateList::Bits::Erase(uint32_t i) {
    const uint32_t k = i / 64;
    const uint64_t low = (uint64_t{1} << (i % 64)) - 1;
    w[k] = (w[k] & low) | ((w[k] >> 1) & ~low) | (k + 1 < kWords ? w[k + 1] << 63 : 0);
    for (uint32_t j = k + 1; j < kWords; ++j)
        w[j] = (w[j] >> 1) | (j + 1 < kWords ? w[j + 1] << 63 : 0);
}

uint32_t CandidateList::Bits::Next(uint32_t from, uint32_t to) const {
    if (from >= to)
        return to;
    uint32_t i = from / 64;
    uint64_t m = w[i] & (~uint64_t{0} << (from % 64));
    while (m == 0) {
        if (++i * 64 >= to)
            return to;
        m = w[i];
    }
    const uint32_t r = i * 64 + static_cast<uint32_t>(__builtin_ctzll(m));
    return r < to ? r : to;
}

// ---- ranking -------------------------------------------------------------------------------
//
// Entries of equal score form a run; the list is the runs in descending order of score. After a
// change to one entry, the selection sort moves it up to just below the entries that score at
// least as much, and carries each displaced entry on to the next entry that scores lower than it,
// never swapping equal scores. So every run that the changed entry passes hands its first entry
// to its end, and the entry joins the end of the run of its new score. Keeping the runs as linked
// lists makes that a constant step per run of two or more entries.

uint32_t CandidateList::RunOf(uint32_t score, bool *found) const {
    uint32_t lo = 0, hi = runCount_;  // first run that scores no more than `score`
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (runs_[mid].score > score) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    *found = lo < runCount_ && runs_[lo].score == score;
    return lo;
}

// Every run of two or more among the runs [from, to) passes its first entry to its end.
void CandidateList::Rotate(uint32_t from, uint32_t to) {
    for (uint32_t r = multi_.Next(from, to); r < to; r = multi_.Next(r + 1, to)) {
        Run &run = runs_[r];
        const uint16_t first = run.head;
        run.head = next_[first];
        prev_[run.head] = kNone;
        next_[run.tail] = first;
        prev_[first] = run.tail;
        next_[first] = kNone;
        run.tail = first;
    }
}

// Enters an unlinked slot with its score: the runs below that score, up to run `rotateTo`,
// rotate, and the slot joins the end of its score's run.
void CandidateList::Place(uint16_t slot, uint32_t score, uint32_t rotateTo) {
    bool found;
    const uint32_t r = RunOf(score, &found);
    Rotate(found ? r + 1 : r, rotateTo);
    score_[slot] = score;
    next_[slot] = kNone;
    if (found) {
        Run &run = runs_[r];
        next_[run.tail] = slot;
        prev_[slot] = run.tail;
        run.tail = slot;
        multi_.Set(r, true);
        return;
    }
    prev_[slot] = kNone;
    std::memmove(runs_ + r + 1, runs_ + r, (runCount_ - r) * sizeof runs_[0]);
    runs_[r] = {score, slot, slot};
    multi_.Insert(r);
    ++runCount_;
}

void CandidateList::Unlink(uint16_t slot, uint32_t r) {
    Run &run = runs_[r];
    const uint16_t before = prev_[slot], after = next_[slot];
    if (before == kNone) {
        run.head = after;
    } else {
        next_[before] = after;
    }
    if (after == kNone) {
        run.tail = before;
    } else {
        prev_[after] = before;
    }
    if (run.head != kNone) {
        multi_.Set(r, run.head != run.tail);
        return;
    }
    std::memmove(runs_ + r, runs_ + r + 1, (runCount_ - r - 1) * sizeof runs_[0]);
    multi_.Erase(r);
    --runCount_;
}

// The entry in `slot` gets a higher score. Of its old run, the entries before it are passed
// over: their first moves into the entry's old place. The runs between the old and the new score
// rotate.
void CandidateList::Raise(uint16_t slot, uint32_t score) {
    bool found;
    const uint32_t r = RunOf(score_[slot], &found);
    const uint16_t first = runs_[r].head;
    const uint16_t before = prev_[slot];
    Unlink(slot, r);
    if (before != kNone && before != first) {
        Run &run = runs_[r];
        run.head = next_[first];
        prev_[run.head] = kNone;
        const uint16_t after = next_[before];
        next_[before] = first;
        prev_[first] = before;
        next_[first] = after;
        if (after == kNone) {
            run.tail = first;
        } else {
            prev_[after] = first;
        }
    }
    Place(slot, score, r);
}

void CandidateList::Offer(const iWWA_Char *text, uint32_t length, uint32_t score) {
    // Neither a new entry nor a raise of a same one.
    if (Refuses(score))
        return;
    const uint32_t keyLength = KeyLength(text, length);
    const uint32_t hash = Hash(text, keyLength);
    const int32_t same = Find(text, keyLength, hash);
    if (same >= 0) {
        if (score > score_[same])
            Raise(static_cast<uint16_t>(same), score);
        return;
    }
    uint16_t slot;
    if (count_ < kCapacity) {
        slot = static_cast<uint16_t>(count_++);
    } else {
        // The lowest entry: the end of the last run.
        slot = runs_[runCount_ - 1].tail;
        Unlink(slot, runCount_ - 1);
        Unindex(slot);
    }
    Store(slot, text, length, hash);
    Index(slot);
    Place(slot, score, runCount_);
}

}  // namespace wa
