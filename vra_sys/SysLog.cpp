#include "SysLog.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace vra_sys {
namespace {

const char *LevelName(int level) {
    switch (level) {
        case 1:
            return "FAIL";
        case 2:
            return "WARN";
        case 3:
            return "INFO";
        case 4:
            return "DBG ";
        case 5:
            return "TRCE";
        default:
            return "    ";
    }
}

// write() until done: a log line goes out in one piece unless the kernel splits it.
void WriteAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

}  // namespace

SysLog &SysLog::Instance() {
    // Never destroyed: plug-ins may log from their destructors during process exit.
    static SysLog *log = new SysLog();
    return *log;
}

SysLog::SysLog() {
    ApplyLogEnvironment(settings_);
    OpenFile();
}

void SysLog::OpenFile() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (settings_.file.empty())
        return;
    fd_ = ::open(settings_.file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        fprintf(stderr, "vra_sys: cannot open log file %s: %s\n", settings_.file.c_str(),
                strerror(errno));
    }
}

void SysLog::Configure(const LogSettings &settings) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool reopen = settings.file != settings_.file;
    settings_ = settings;
    if (reopen)
        OpenFile();
}

int SysLog::Level() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_.level;
}

void SysLog::Write(int level, const char *format, va_list args) {
    if (!format)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (level > settings_.level || level <= 0)
            return;
    }
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    struct tm tm;
    time_t secs = tv.tv_sec;
    localtime_r(&secs, &tm);
    char head[96];
    int headLen = snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d.%03d %s [%ld] ",
                           tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                           tm.tm_sec, static_cast<int>(tv.tv_usec / 1000), LevelName(level),
                           static_cast<long>(syscall(SYS_gettid)));
    if (headLen < 0)
        return;

    std::vector<char> line(static_cast<size_t>(headLen) + 512);
    memcpy(line.data(), head, static_cast<size_t>(headLen));
    va_list copy;
    va_copy(copy, args);
    int bodyLen = vsnprintf(line.data() + headLen, line.size() - headLen, format, copy);
    va_end(copy);
    if (bodyLen < 0)
        return;
    if (static_cast<size_t>(headLen + bodyLen) + 2 > line.size()) {
        line.resize(static_cast<size_t>(headLen + bodyLen) + 2);
        vsnprintf(line.data() + headLen, line.size() - headLen, format, args);
    }
    size_t len = static_cast<size_t>(headLen + bodyLen);
    // A format that already ends its line does not get a second line break.
    if (len == 0 || line[len - 1] != '\n')
        line[len++] = '\n';

    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ >= 0)
        WriteAll(fd_, line.data(), len);
    if (settings_.WritesStderr())
        WriteAll(STDERR_FILENO, line.data(), len);
}

}  // namespace vra_sys
