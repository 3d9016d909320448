#include "LibraryContext.h"

#include "ConfigAssistant.h"
#include "StringUtil.h"

namespace qvcommon {

std::string NormalizeDataPath(const std::string &path) {
    std::string p = Trim(path);
    // Windows appended '\'; on Linux only '/' separates, a trailing '\' is kept as written.
    if (!p.empty() && p.back() != '/' && p.back() != '\\')
        p += '/';
    return p;
}

LibraryContext &LibraryContext::Instance() {
    // A plain static: a plug-in's copy goes away with the plug-in when it is unloaded.
    static LibraryContext context;
    return context;
}

void LibraryContext::Configure(const ConfigAssistant &initConfig) {
    CQThreadMutexGuard guard(lock_);
    dataPath_ = NormalizeDataPath(initConfig.Get("datapath"));
    fileFlag_ = initConfig.Get("fileflag");
}

void LibraryContext::Clear() {
    CQThreadMutexGuard guard(lock_);
    dataPath_.clear();
    fileFlag_.clear();
}

std::string LibraryContext::DataPath() const {
    CQThreadMutexGuard guard(lock_);
    return dataPath_;
}

std::string LibraryContext::FileFlag() const {
    CQThreadMutexGuard guard(lock_);
    return fileFlag_;
}

void LibraryContext::SetDataPath(const std::string &path) {
    CQThreadMutexGuard guard(lock_);
    dataPath_ = NormalizeDataPath(path);
}

void LibraryContext::SetFileFlag(const std::string &flag) {
    CQThreadMutexGuard guard(lock_);
    fileFlag_ = flag;
}

std::string GetResPath(const std::string &prefix, const std::string &fileName) {
    LibraryContext &lib = LibraryContext::Instance();
    std::string dataPath = lib.DataPath();
    if (lib.FileFlag() == "android_so")
        return dataPath + "lib" + prefix + fileName + ".so";
    return dataPath + prefix + fileName;
}

}  // namespace qvcommon
