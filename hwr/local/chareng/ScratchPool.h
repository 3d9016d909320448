// ScratchPool: the stack of temporary arrays that one recognition uses, carved out of the
// engine's work memory so that recognition allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace chareng {

constexpr size_t kScratchBytes = 84992;

struct ScratchPool {
    uint8_t *base;
    uint32_t available;
    uint32_t used;

    // Reserves (n rounded down to a multiple of 4) + 4 bytes at the top and returns the old
    // top, or null when the pool is exhausted (the engine then gives up on the writing rather
    // than write past its memory).
    void *Allocate(uint32_t n) {
        const uint32_t take = (n & ~3u) + 4;
        if (take > available - used)
            return nullptr;
        void *p = base + used;
        used += take;
        return p;
    }
    // Gives back what the matching Allocate(n) took; releases come in reverse order.
    void Release(uint32_t n) { used -= (n & ~3u) + 4; }

    template <typename T>
    T *Array(uint32_t count) {
        return static_cast<T *>(Allocate(static_cast<uint32_t>(count * sizeof(T))));
    }
    template <typename T>
    void ReleaseArray(uint32_t count) {
        Release(static_cast<uint32_t>(count * sizeof(T)));
    }
};

// Allocation that gives itself back when the scope ends.
template <typename T>
class ScratchArray {
  public:
    ScratchArray(ScratchPool &pool, uint32_t count)
        : pool_(pool), count_(count), data_(pool.Array<T>(count)) {}
    ~ScratchArray() {
        if (data_)
            pool_.ReleaseArray<T>(count_);
    }
    ScratchArray(const ScratchArray &) = delete;
    ScratchArray &operator=(const ScratchArray &) = delete;
    T *get() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }
    T &operator[](size_t i) const { return data_[i]; }

  private:
    ScratchPool &pool_;
    uint32_t count_;
    T *data_;
};

}  // namespace chareng
