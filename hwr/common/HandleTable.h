// 32-bit handles for objects that cross a C interface as numbers: an index into a table of live
// objects plus a generation count, so that a stale or made-up handle finds nothing instead of
// freed memory. Handle 0 is never given out.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace qvcommon {

template <typename T>
class HandleTable {
  public:
    static constexpr uint32_t kCapacity = 0xFFFF;

    // The handle of the stored object, 0 when the table is full or obj is null.
    uint32_t Add(T *obj) {
        if (!obj)
            return 0;
        std::lock_guard<std::mutex> lock(mutex_);
        uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            if (slots_.size() >= kCapacity)
                return 0;
            index = static_cast<uint32_t>(slots_.size());
            slots_.push_back({});
        }
        Slot &s = slots_[index];
        s.obj = obj;
        return (static_cast<uint32_t>(s.generation) << 16) | (index + 1);
    }

    // The object of a live handle, else null.
    T *Get(uint32_t handle) const {
        std::lock_guard<std::mutex> lock(mutex_);
        const Slot *s = Find(handle);
        return s ? s->obj : nullptr;
    }

    // Takes the object out; the handle is dead from then on. Null for a handle that is not live.
    T *Remove(uint32_t handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        Slot *s = const_cast<Slot *>(Find(handle));
        if (!s)
            return nullptr;
        T *obj = s->obj;
        s->obj = nullptr;
        s->generation = static_cast<uint16_t>(s->generation + 1);
        free_.push_back((handle & 0xFFFF) - 1);
        return obj;
    }

    size_t Count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return slots_.size() - free_.size();
    }

    // Takes every object out (for teardown); the caller deletes them.
    std::vector<T *> RemoveAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<T *> out;
        for (uint32_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i].obj) {
                out.push_back(slots_[i].obj);
                slots_[i].obj = nullptr;
                slots_[i].generation = static_cast<uint16_t>(slots_[i].generation + 1);
                free_.push_back(i);
            }
        }
        return out;
    }

  private:
    struct Slot {
        T *obj = nullptr;
        uint16_t generation = 0;
    };

    const Slot *Find(uint32_t handle) const {
        uint32_t index = handle & 0xFFFF;
        if (index == 0 || index > slots_.size())
            return nullptr;
        const Slot &s = slots_[index - 1];
        if (!s.obj || s.generation != static_cast<uint16_t>(handle >> 16))
            return nullptr;
        return &s;
    }

    mutable std::mutex mutex_;
    std::vector<Slot> slots_;
    std::vector<uint32_t> free_;
};

}  // namespace qvcommon
