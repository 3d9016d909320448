#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

SingleInstance::~SingleInstance() {
    Close();
}

bool SingleInstance::Create(const std::string &name, bool *alreadyExists) {
    *alreadyExists = false;
    Close();
    // The user's runtime directory, else a per-user name in /tmp.
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        std::string path = std::string(runtime) + "/" + name + ".lock";
        m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    if (m_fd < 0) {
        std::string path = "/tmp/" + name + "-" + std::to_string(getuid()) + ".lock";
        m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    }
    if (m_fd < 0)
        return false;
    if (flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        *alreadyExists = errno == EWOULDBLOCK;
        Close();
        return false;
    }
    return true;
}

void SingleInstance::Close() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}
