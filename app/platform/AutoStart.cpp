#include "AutoStart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

int MakeDirectory(const std::string &path) {
    if (mkdir(path.c_str(), 0700) == 0)
        return 0;
    if (errno != EEXIST)
        return errno;
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// The program as one argument of the Exec key: quoted, with the characters that the desktop
// entry format reserves escaped.
std::string ExecArgument(std::string_view program) {
    std::string out = "\"";
    // Inside quotes '"', '`', '$' and '\\' take a backslash, and the value's own escaping then
    // doubles every backslash: a literal backslash is four of them.
    for (char c : program) {
        if (c == '\\')
            out += "\\\\\\\\";
        else if (c == '"' || c == '`' || c == '$')
            out += std::string("\\\\") + c;
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out + "\"";
}

}  // namespace

int OpenAutoStartDirectory(std::string *directory) {
    std::string config;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        config = xdg;
    } else if (const char *home = std::getenv("HOME"); home && *home) {
        config = std::string(home) + "/.config";
    } else {
        return ENOENT;
    }
    if (int rc = MakeDirectory(config))
        return rc;
    *directory = config + "/autostart";
    return MakeDirectory(*directory);
}

int SetAutoStartEntry(const std::string &directory, std::string_view name,
                      std::string_view program) {
    std::string text = "[Desktop Entry]\nType=Application\nName=" + std::string(name) + "\n";
    if (program.empty())
        text += "Exec=\nHidden=true\n";
    else
        text += "Exec=" + ExecArgument(program) + "\nX-GNOME-Autostart-enabled=true\n";
    std::string path = directory + "/" + std::string(name) + ".desktop";
    std::string temp = path + ".new";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    int rc = 0;
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        rc = errno ? errno : EIO;
    if (close(fd) != 0 && rc == 0)
        rc = errno;
    if (rc == 0 && rename(temp.c_str(), path.c_str()) != 0)
        rc = errno;
    if (rc != 0)
        unlink(temp.c_str());
    return rc;
}
