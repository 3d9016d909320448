#include "ReadOnlyResManager.h"

#include <new>

namespace qvcommon {

ReadOnlyResManager &ReadOnlyResManager::Instance() {
    static ReadOnlyResManager manager;
    return manager;
}

ReadOnlyResManager::~ReadOnlyResManager() {
    for (auto &[path, reader] : files_)
        delete reader;
    files_.clear();
    references_.clear();
}

const FileReader *ReadOnlyResManager::AcquireFile(const std::string &path) {
    if (path.empty())
        return nullptr;
    CQThreadMutexGuard guard(lock_);
    auto it = files_.find(path);
    if (it != files_.end()) {
        ++references_[path];
        return it->second;
    }
    auto *reader = new (std::nothrow) FileReader();
    if (!reader)
        return nullptr;
    if (!reader->Load(path, 0)) {
        delete reader;
        return nullptr;
    }
    files_[path] = reader;
    references_[path] = 1;
    return reader;
}

void ReadOnlyResManager::ReleaseFile(const std::string &path) {
    if (path.empty())
        return;
    CQThreadMutexGuard guard(lock_);
    auto it = files_.find(path);
    if (it == files_.end())
        return;
    if (--references_[path] == 0) {
        delete it->second;
        files_.erase(it);
        references_.erase(path);
    }
}

uint32_t ReadOnlyResManager::RefCount(const std::string &path) const {
    CQThreadMutexGuard guard(lock_);
    auto it = references_.find(path);
    return it == references_.end() ? 0 : it->second;
}

}  // namespace qvcommon
