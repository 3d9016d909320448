// The user dictionary: a ring of the 2048 words the user chose most recently, kept in the image
// format of "wa.user.dct" so that the session's copy can be saved as it is.
#pragma once

#include <cstdint>

#include "WaFormat.h"
#include "iWWA.h"

namespace wa {

class UserDict {
  public:
    explicit UserDict(uint8_t *image) : img_(image) {}

    // True when the image has the size and header of a user dictionary and ring indexes that
    // describe a ring (an empty ring has oldest -1 and next -1 or 0).
    static bool CheckImage(const uint8_t *image, uint32_t length);

    uint32_t WordCount() const;
    // The k-th word from the oldest (k = 0) to the newest (k = WordCount() - 1).
    const iWWA_Char *Word(uint32_t k, uint32_t *length) const;

    // Learns a word of 1 to kUserMaxWord units: a word already in the ring keeps its place;
    // otherwise it is written at the next index, overwriting the oldest word of a full ring.
    void Adjust(const iWWA_Char *word, uint32_t length);

  private:
    int32_t Oldest() const { return LoadI32(img_ + kUserOffOldest); }
    int32_t Next() const { return LoadI32(img_ + kUserOffNext); }
    uint8_t *Slot(uint32_t index) const { return img_ + kUserHeaderSize + index * kUserStride; }

    uint8_t *img_;
};

}  // namespace wa
