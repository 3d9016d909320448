// The kit's one lock type: recursive, so that its holder may take it again (a failed front-end
// initialisation unloads the plug-ins while it still holds the central lock).
#pragma once

#include <mutex>

namespace qvcommon {

class CQThreadMutex {
  public:
    CQThreadMutex() = default;
    virtual ~CQThreadMutex() = default;
    CQThreadMutex(const CQThreadMutex &) = delete;
    CQThreadMutex &operator=(const CQThreadMutex &) = delete;

    virtual void Lock() { mutex_.lock(); }
    virtual void Unlock() { mutex_.unlock(); }

  private:
    std::recursive_mutex mutex_;
};

// Holds the lock for its scope; a null mutex makes it a no-op.
class CQThreadMutexGuard {
  public:
    explicit CQThreadMutexGuard(CQThreadMutex *mutex) : mutex_(mutex) {
        if (mutex_)
            mutex_->Lock();
    }
    explicit CQThreadMutexGuard(CQThreadMutex &mutex) : CQThreadMutexGuard(&mutex) {}
    ~CQThreadMutexGuard() {
        if (mutex_)
            mutex_->Unlock();
    }
    CQThreadMutexGuard(const CQThreadMutexGuard &) = delete;
    CQThreadMutexGuard &operator=(const CQThreadMutexGuard &) = delete;

  private:
    CQThreadMutex *mutex_;
};

}  // namespace qvcommon
