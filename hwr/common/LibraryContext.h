// The library-wide data of one kit library: the data path and file flag from the init
// configuration, and the lock of its shared tables. Every library that links hwr_common holds its
// own copy (the frame's symbols are hidden).
#pragma once

#include <string>

#include "CQThreadMutex.h"

namespace qvcommon {

class ConfigAssistant;

// Trims the path and ends it with a '/' unless it ends with '/' or '\' already; "" stays "".
std::string NormalizeDataPath(const std::string &path);

class LibraryContext {
  public:
    static LibraryContext &Instance();

    // Reads datapath (normalised) and fileflag from the init configuration.
    void Configure(const ConfigAssistant &initConfig);
    void Clear();

    std::string DataPath() const;
    std::string FileFlag() const;
    void SetDataPath(const std::string &path);
    void SetFileFlag(const std::string &flag);

    // Guards the library's shared tables (the engine-handle cache among them).
    CQThreadMutex &Lock() { return lock_; }

  private:
    LibraryContext() = default;
    mutable CQThreadMutex lock_;
    std::string dataPath_;
    std::string fileFlag_;
};

// The path of a resource file: data path + prefix + file name, or with the file flag
// "android_so" data path + "lib" + prefix + file name + ".so".
std::string GetResPath(const std::string &prefix, const std::string &fileName);

}  // namespace qvcommon
