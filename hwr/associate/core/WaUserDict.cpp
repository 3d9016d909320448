#include "WaUserDict.h"

#include <cstring>

namespace wa {
namespace {

// A slot holds a zero-terminated word; a slot that lacks the zero is read as its first
// kUserMaxWord units, so that nothing is read past the slot.
uint32_t SlotLength(const uint8_t *slot) {
    uint32_t n = 0;
    while (n < kUserMaxWord && LoadU16(slot + 2 * n) != 0)
        ++n;
    return n;
}

}  // namespace

bool UserDict::CheckImage(const uint8_t *image, uint32_t length) {
    if (length != kUserDictSize)
        return false;
    if (LoadU32(image + kUserOffCapacity) != kUserCapacity ||
        LoadU32(image + kUserOffEntrySize) != kUserEntrySize ||
        LoadU32(image + kUserOffStride) != kUserStride)
        return false;
    const int32_t oldest = LoadI32(image + kUserOffOldest), next = LoadI32(image + kUserOffNext);
    const int32_t cap = static_cast<int32_t>(kUserCapacity);
    if (oldest == -1)
        return next == -1 || next == 0;
    return oldest >= 0 && oldest < cap && next >= 0 && next < cap;
}

uint32_t UserDict::WordCount() const {
    const int32_t oldest = Oldest(), next = Next();
    if (oldest < 0)
        return 0;
    if (oldest < next)
        return static_cast<uint32_t>(next - oldest);
    return kUserCapacity - static_cast<uint32_t>(oldest) + static_cast<uint32_t>(next);
}

const iWWA_Char *UserDict::Word(uint32_t k, uint32_t *length) const {
    const uint8_t *slot = Slot((static_cast<uint32_t>(Oldest()) + k) % kUserCapacity);
    *length = SlotLength(slot);
    return reinterpret_cast<const iWWA_Char *>(slot);
}

void UserDict::Adjust(const iWWA_Char *word, uint32_t length) {
    const uint32_t count = WordCount();
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t n;
        const iWWA_Char *held = Word(k, &n);
        if (n == length && std::memcmp(held, word, 2 * length) == 0)
            return;
    }
    const int32_t next = Next();
    uint8_t *slot = Slot(next < 0 ? 0 : static_cast<uint32_t>(next));
    std::memset(slot, 0, kUserStride);
    std::memcpy(slot, word, 2 * length);
    int32_t newOldest = Oldest(), newNext;
    if (count == 0) {
        newOldest = 0;
        newNext = 1;
    } else if (count == kUserCapacity) {
        newOldest = (newOldest + 1) % static_cast<int32_t>(kUserCapacity);
        newNext = newOldest;
    } else {
        newNext = (next + 1) % static_cast<int32_t>(kUserCapacity);
    }
    StoreU32(img_ + kUserOffOldest, static_cast<uint32_t>(newOldest));
    StoreU32(img_ + kUserOffNext, static_cast<uint32_t>(newNext));
}

}  // namespace wa
