#include "ProgramDirectory.h"

#include <unistd.h>

#include <climits>
#include <mutex>

namespace {

std::mutex g_mutex;
std::string g_override;

}  // namespace

std::string GetModuleFileName() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    return std::string(path, static_cast<size_t>(n));
}

std::string GetProgramDirectory() {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_override.empty())
            return g_override;
    }
    std::string path = GetModuleFileName();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void SetProgramDirectory(const std::string &directory) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_override = directory;
    if (!g_override.empty() && g_override.back() != '/')
        g_override += '/';
}
