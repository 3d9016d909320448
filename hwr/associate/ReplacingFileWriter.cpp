#include "ReplacingFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace wa {

bool WriteReplacing(const std::string &path, const void *data, size_t size, WriteFailure *failure) {
    // A unique name: two sessions of one dictionary set may save at the same moment.
    std::string tmp = path + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        *failure = {WriteFailure::kCreate, errno};
        return false;
    }
    auto fail = [&](int error) {
        close(fd);
        unlink(name.data());
        *failure = {WriteFailure::kWrite, error};
        return false;
    };
    const auto *p = static_cast<const char *>(data);
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(fd, p + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : ENOSPC);
        done += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0)
        return fail(errno);
    if (close(fd) != 0) {
        const int error = errno;
        unlink(name.data());
        *failure = {WriteFailure::kWrite, error};
        return false;
    }
    if (rename(name.data(), path.c_str()) != 0) {
        const int error = errno;
        unlink(name.data());
        *failure = {WriteFailure::kWrite, error};
        return false;
    }
    // Make the rename itself durable.
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

}  // namespace wa
