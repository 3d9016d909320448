// The system library's settings: what a configuration text and its file resolve to.
#pragma once

#include <map>
#include <string>

namespace vra_sys {

struct LogSettings {
    int level = 2;      // lines at or below this level are written; 0 writes nothing
    std::string file;   // appended to when not empty
    int toStderr = -1;  // 1 yes, 0 no, -1 only when no file is named

    bool WritesStderr() const { return toStderr < 0 ? file.empty() : toStderr != 0; }
};

struct SysSettings {
    std::string appKey;
    std::string devKey;                              // of the default application key
    std::map<std::string, std::string> devKeys;      // application key -> developer key
    std::string serviceUrl;                          // for every capability key
    std::map<std::string, std::string> serviceUrls;  // capability key prefix -> address
    int maxSessions = 8;
    std::string authPath;
    bool history = true;
    std::string historyFile;
    double latitude = 0;
    double longitude = 0;
    std::string udid, tid, eid, userId, version;
    int udidType = 1;
    bool smartSpace = false;
    LogSettings log;

    // The address for a capability key: the longest configured prefix that ends at a '.' boundary
    // (or is the whole key), else the catch-all address; empty when none applies.
    std::string ServiceUrlFor(const std::string &capkey) const;
};

// Settings with every default filled (auth path from the XDG variables, udid from the machine id).
SysSettings DefaultSettings();

// Applies a configuration text over `settings`. Returns 0, 3 (a malformed item, an unknown key or
// a bad value; `error` says which) or 102 (configfile unreadable).
int ApplyConfig(const char *text, SysSettings &settings, std::string &error);

// The log keys of the environment (VRA_LOG_LEVEL, VRA_LOG_FILE, VRA_LOG_STDERR) over `log`.
void ApplyLogEnvironment(LogSettings &log);

}  // namespace vra_sys
