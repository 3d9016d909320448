// The library's cache of shared engine handles: helper name + resource prefix -> the handle that
// helper made, so that sessions with the same resources share one engine.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "EngineHelper.h"

namespace qvcommon {

class EngineHandleCache {
  public:
    static EngineHandleCache &Instance();

    // The handle for (helper, prefix): the cached one, or a new one from the helper's
    // InitVraEngineHandle with the library's data path. 0, or the helper's code (nothing cached).
    // Runs under the library lock, so concurrent starts with the same key make one handle.
    int GetHandle(EngineHelper &helper, const std::string &prefix, uint32_t &handle);

    // Hands every cached handle back to its helper and empties the cache. The frame never calls
    // this itself; a plug-in that frees its engines at release does.
    void ReleaseAll();
    size_t Size() const;

  private:
    struct Entry {
        uint32_t handle;
        EngineHelper *helper;  // not owned
    };
    std::map<std::string, Entry> entries_;
};

}  // namespace qvcommon
