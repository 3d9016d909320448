// Reference-counted sharing of loaded resource files between the sessions of one library: the
// same path acquired by several sessions is loaded once and unloaded with its last release.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "CQThreadMutex.h"
#include "FileReader.h"

namespace qvcommon {

class ReadOnlyResManager {
  public:
    // The library's one manager.
    static ReadOnlyResManager &Instance();

    ReadOnlyResManager() = default;
    virtual ~ReadOnlyResManager();
    ReadOnlyResManager(const ReadOnlyResManager &) = delete;
    ReadOnlyResManager &operator=(const ReadOnlyResManager &) = delete;

    // The loaded file (read-only, shared), or null when the path is empty or cannot be loaded.
    // Each successful acquisition is matched by one ReleaseFile.
    const FileReader *AcquireFile(const std::string &path);
    void ReleaseFile(const std::string &path);
    // How many acquisitions of the path are outstanding (0 when not loaded).
    uint32_t RefCount(const std::string &path) const;

  private:
    mutable CQThreadMutex lock_;
    std::map<std::string, FileReader *> files_;
    std::map<std::string, uint32_t> references_;
};

}  // namespace qvcommon
