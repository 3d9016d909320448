// The log sink of VRA_LOG: one line per call with time, level and thread, to a file and/or stderr.
#pragma once

#include <cstdarg>
#include <mutex>
#include <string>

#include "SysSettings.h"

namespace vra_sys {

class SysLog {
  public:
    static SysLog &Instance();

    // Takes new settings; a log file that cannot be opened is reported on stderr once.
    void Configure(const LogSettings &settings);
    int Level() const;
    void Write(int level, const char *format, va_list args);

  private:
    SysLog();
    void OpenFile();

    mutable std::mutex mutex_;
    LogSettings settings_;
    int fd_ = -1;
};

}  // namespace vra_sys
