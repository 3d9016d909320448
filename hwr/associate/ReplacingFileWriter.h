// Writes a whole file so that it is never left half-written: the bytes go to a new file beside
// it, are flushed to disk, and the new file is renamed over the old one. A crash or a full disk
// while writing leaves the previous file as it was.
#pragma once

#include <cstddef>
#include <string>

namespace wa {

struct WriteFailure {
    enum Stage { kNone, kCreate, kWrite } stage = kNone;
    int error = 0;  // errno of the failed step
};

// True when `path` now holds exactly the `size` bytes; else *failure tells what went wrong
// (kCreate: the new file could not be made; kWrite: writing, flushing or renaming failed).
bool WriteReplacing(const std::string &path, const void *data, size_t size, WriteFailure *failure);

}  // namespace wa
