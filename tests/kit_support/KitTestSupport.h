// Test helpers of the kit: a temporary folder, and a system-library session that logs every
// level to a file and keeps its usage history there, so that tests read both back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kit_test {

// A fresh folder under $TMPDIR, removed with its contents at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &Path() const { return path_; }
    std::string File(const std::string &name) const { return path_ + "/" + name; }
    // Writes `bytes` to File(name) and returns that path.
    std::string Write(const std::string &name, const std::string &bytes) const;

  private:
    std::string path_;
};

std::string ReadFile(const std::string &path);

// One usage-history record as the system library wrote it.
struct HistoryRecord {
    uint64_t timeMs = 0;
    std::string appkey, capkey, info, data, result;
};

// VRA_Init with the log (level 5, no stderr) and the history in a temporary folder, plus `extra`
// configuration items; VRA_Release at destruction.
class SysSession {
  public:
    explicit SysSession(const std::string &extra = "");
    ~SysSession();
    SysSession(const SysSession &) = delete;
    SysSession &operator=(const SysSession &) = delete;

    int InitCode() const { return initCode_; }
    const TempDir &Dir() const { return dir_; }
    std::string LogPath() const { return dir_.File("vra.log"); }
    // Every log line written so far, without the time/level/thread head.
    std::vector<std::string> LogLines() const;
    // True when some line's text (after the head) equals `text`.
    bool Logged(const std::string &text) const;
    // True when some line contains `part`.
    bool LogContains(const std::string &part) const;
    void ClearLog() const;
    std::vector<HistoryRecord> History() const;

  private:
    TempDir dir_;
    int initCode_;
};

// Reads a usage-history file; stops at the first record whose length or checksum is wrong.
std::vector<HistoryRecord> ReadHistory(const std::string &path);

// Stroke data from points; {-1,0} and {-1,-1} pass through as written.
std::vector<int16_t> Strokes(std::initializer_list<std::pair<int, int>> points);

}  // namespace kit_test
