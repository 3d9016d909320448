#include "OsAdapter.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>

#include "HwrLog.h"
#include "StringUtil.h"

namespace OsAdapter {

std::string MapLibraryName(const std::string &fileName) {
    const std::string dll = ".dll";
    if (fileName.size() > dll.size() &&
        qvcommon::ToLower(fileName.substr(fileName.size() - dll.size())) == dll) {
        return "lib" + fileName.substr(0, fileName.size() - dll.size()) + ".so";
    }
    return fileName;
}

std::string KitLibraryDir() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void *>(&KitLibraryDir), &info) == 0 || !info.dli_fname)
        return "";
    std::string path = info.dli_fname;
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

void *OS_LoadLibrary(const std::string &fileName, const std::vector<std::string> &searchDirs) {
    static const char *kName = "OsAdapter::OS_LoadLibrary";
    const std::string name = MapLibraryName(fileName);
    std::string target = name;
    if (name.find('/') == std::string::npos) {
        // The first folder that has the file decides; a broken file there is not skipped.
        for (const std::string &dir : searchDirs) {
            if (dir.empty())
                continue;
            std::string candidate = dir + (dir.back() == '/' ? "" : "/") + name;
            struct stat st;
            if (stat(candidate.c_str(), &st) == 0) {
                target = candidate;
                break;
            }
        }
    }
    errno = 0;
    void *handle = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        int error = errno != 0 ? errno : ENOENT;
        const char *why = dlerror();
        QV_LOG_FAIL(QV_TAG_COMMON, kName, " LoadLibrary failed:%d", error);
        QV_LOG_WARN(QV_TAG_COMMON, kName, " %s", why ? why : target.c_str());
    }
    return handle;
}

void *OS_GetProcAddress(void *handle, const char *name) {
    return handle ? dlsym(handle, name) : nullptr;
}

bool OS_FreeLibrary(void *handle) {
    if (dlclose(handle) == 0)
        return true;
    const char *why = dlerror();
    QV_LOG_FAIL(QV_TAG_COMMON, "OsAdapter::OS_FreeLibrary", " FreeLibrary Handle:0x%x failed:%d",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(handle)), errno);
    if (why)
        QV_LOG_WARN(QV_TAG_COMMON, "OsAdapter::OS_FreeLibrary", " %s", why);
    return false;
}

}  // namespace OsAdapter
