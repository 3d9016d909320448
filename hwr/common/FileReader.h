// A whole file in memory, optionally followed by zero bytes (one extra byte makes a text
// NUL-terminated).
#pragma once

#include <cstdint>
#include <string>

namespace qvcommon {

class FileReader {
  public:
    FileReader() = default;
    virtual ~FileReader() { Unload(); }
    FileReader(const FileReader &) = delete;
    FileReader &operator=(const FileReader &) = delete;

    // Loads the file and appends `extra` zero bytes (counted in Size()). False, with a level-3
    // line, when the file cannot be opened or read, or is empty.
    virtual bool Load(const std::string &path, uint32_t extra = 0);
    virtual void Unload();

    const uint8_t *Data() const { return data_; }
    uint32_t Size() const { return size_; }
    bool Loaded() const { return data_ != nullptr; }

  private:
    uint8_t *data_ = nullptr;
    uint32_t size_ = 0;
};

}  // namespace qvcommon
