// The usage history file: whole records appended one write at a time under a file lock, after
// cutting off a torn last record that a crash left behind (format in vra_sys.h).
#pragma once

#include <string>

#include "vra_sys.h"

namespace vra_sys {

// Appends one record for `item` to `path`, creating the file and its directory when needed, and
// flushes it to the disk. Returns 0 or VRA_SYS_ERR_HISTORY; a failed append adds nothing to the
// file.
int AppendUsageRecord(const std::string &path, const VraUserHisItem &item,
                      unsigned long long timeMs);

// CRC-32 (IEEE 802.3, reflected, as zlib computes it).
unsigned int Crc32(const unsigned char *data, size_t size, unsigned int crc = 0);

// Creates `dir` and its missing parents with mode 0700; true when it exists afterwards.
bool MakeDirs(const std::string &dir);

}  // namespace vra_sys
