#include "EngineHandleCache.h"

#include <new>

#include "HwrLog.h"
#include "LibraryContext.h"

namespace qvcommon {

EngineHandleCache &EngineHandleCache::Instance() {
    static EngineHandleCache cache;
    return cache;
}

int EngineHandleCache::GetHandle(EngineHelper &helper, const std::string &prefix,
                                 uint32_t &handle) {
    static const char *kName = "RecogEngineInterface::GetVraEngineHandle";
    QV_TRACE(QV_TAG_COMMON, kName);
    LibraryContext &lib = LibraryContext::Instance();
    CQThreadMutexGuard guard(lib.Lock());
    const std::string key = helper.GetHelperName() + prefix;
    QV_LOG_INFO(QV_TAG_COMMON, kName, " engine_handle_key: [%s]", key.c_str());
    auto it = entries_.find(key);
    if (it != entries_.end()) {
        handle = it->second.handle;
        return 0;
    }
    uint32_t made = 0;
    int code = helper.InitVraEngineHandle(lib.DataPath(), prefix, made);
    if (code != 0)
        return code;
    try {
        entries_.emplace(key, Entry{made, &helper});
    } catch (const std::bad_alloc &) {
        helper.ReleaseVraEngineHandle(made);
        return 2;
    }
    handle = made;
    return 0;
}

void EngineHandleCache::ReleaseAll() {
    CQThreadMutexGuard guard(LibraryContext::Instance().Lock());
    for (auto &[key, entry] : entries_)
        entry.helper->ReleaseVraEngineHandle(entry.handle);
    entries_.clear();
}

size_t EngineHandleCache::Size() const {
    CQThreadMutexGuard guard(LibraryContext::Instance().Lock());
    return entries_.size();
}

}  // namespace qvcommon
