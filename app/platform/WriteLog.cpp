#include "WriteLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "CodePage.h"
#include "ProgramDirectory.h"

int WriteLog(std::string_view text) {
    std::string path = GetProgramDirectory() + "word.log";
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[64];
    int n =
        std::snprintf(stamp, sizeof stamp, "%d-%02d-%02d %02d:%02d:%02d\t", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::string line(stamp, static_cast<size_t>(n));
    line += text.substr(0, text.find('\0'));  // printed with "%s"
    // "\r\n" written through a text-mode stream: the stream adds a CR of its own before the LF.
    line += "\r\r\n";
    ssize_t written = write(fd, line.data(), line.size());
    close(fd);
    return written < 0 ? -1 : 0;
}

int WriteLog(std::u16string_view text) {
    return WriteLog(WideToOem(text));
}
