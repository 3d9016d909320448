#include "UsageHistory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace vra_sys {
namespace {

constexpr unsigned int kFormat = 1;
// Records above this size are refused rather than written in several pieces.
constexpr size_t kMaxRecord = 64u << 20;

void PutU32(std::vector<unsigned char> &out, unsigned int v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void PutU64(std::vector<unsigned char> &out, unsigned long long v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void PutBytes(std::vector<unsigned char> &out, const void *p, size_t n) {
    if (p && n)
        out.insert(out.end(), static_cast<const unsigned char *>(p),
                   static_cast<const unsigned char *>(p) + n);
}

}  // namespace

unsigned int Crc32(const unsigned char *data, size_t size, unsigned int crc) {
    static const auto table = [] {
        std::vector<unsigned int> t(256);
        for (unsigned int i = 0; i < 256; ++i) {
            unsigned int c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

bool MakeDirs(const std::string &dir) {
    if (dir.empty())
        return false;
    struct stat st;
    if (stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash)))
        return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

namespace {

constexpr size_t kHeadSize = 4 + 4 + 4 + 8 + 5 * 4;
constexpr size_t kMinRecord = kHeadSize + 4;

unsigned int GetU32(const unsigned char *p) {
    return static_cast<unsigned int>(p[0]) | static_cast<unsigned int>(p[1]) << 8 |
           static_cast<unsigned int>(p[2]) << 16 | static_cast<unsigned int>(p[3]) << 24;
}

bool ReadAt(int fd, unsigned char *buf, size_t n, off_t at) {
    while (n > 0) {
        ssize_t got = ::pread(fd, buf, n, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        buf += got;
        n -= static_cast<size_t>(got);
        at += got;
    }
    return true;
}

// A record's length when `p` (with `avail` bytes from there) begins one that holds: the mark, a
// length that fits, field lengths that add up to it, and the checksum. 0 otherwise.
size_t WholeRecordIn(const unsigned char *p, size_t avail) {
    if (avail < kMinRecord || memcmp(p, "VRAU", 4) != 0)
        return 0;
    size_t total = GetU32(p + 4);
    if (total < kMinRecord || total > avail || total > kMaxRecord)
        return 0;
    size_t fields = 0;
    for (int i = 0; i < 5; ++i)
        fields += GetU32(p + 20 + 4 * i);
    if (kHeadSize + fields + 4 != total)
        return 0;
    return Crc32(p, total - 4) == GetU32(p + total - 4) ? total : 0;
}

// The length of the record whose head is at `at`, judged by its head alone; 0 when the bytes
// there are no record head or the record would run past `size`.
size_t HeadAt(int fd, off_t at, off_t size) {
    unsigned char head[8];
    if (size - at < static_cast<off_t>(kMinRecord) || !ReadAt(fd, head, sizeof head, at) ||
        memcmp(head, "VRAU", 4) != 0)
        return 0;
    size_t total = GetU32(head + 4);
    if (total < kMinRecord || total > kMaxRecord || static_cast<off_t>(total) > size - at)
        return 0;
    return total;
}

bool WholeAt(int fd, off_t at, off_t size) {
    size_t total = HeadAt(fd, at, size);
    if (total == 0)
        return false;
    std::vector<unsigned char> rec(total);
    return ReadAt(fd, rec.data(), total, at) && WholeRecordIn(rec.data(), total) == total;
}

// The offset of the first whole record at or after `from`, or -1.
off_t NextWholeRecord(int fd, off_t from, off_t size) {
    if (from >= size)
        return -1;
    std::vector<unsigned char> rest(static_cast<size_t>(size - from));
    if (!ReadAt(fd, rest.data(), rest.size(), from))
        return -1;
    for (size_t k = 0; k + kMinRecord <= rest.size(); ++k) {
        if (rest[k] == 'V' && WholeRecordIn(rest.data() + k, rest.size() - k) != 0)
            return from + static_cast<off_t>(k);
    }
    return -1;
}

// Makes the file end with a whole record (or be empty) and returns its size, -1 on an I/O error.
// `from` is an offset known to start a record or to be the end of the file. A crash in the middle
// of an append leaves a torn last record; records appended after it would be out of a reader's
// reach, so the torn bytes are cut off. Damage followed by whole records is left in place: cutting
// there would lose the records.
off_t RepairTail(int fd, off_t from, off_t size) {
    off_t at = from;
    for (;;) {
        off_t last = -1;
        while (at < size) {
            size_t total = HeadAt(fd, at, size);
            if (total == 0)
                break;
            last = at;
            at += static_cast<off_t>(total);
        }
        if (at == size && (last < 0 || WholeAt(fd, last, size)))
            return size;
        const off_t bad = at == size ? last : at;
        const off_t next = NextWholeRecord(fd, bad + 1, size);
        if (next < 0)
            return ::ftruncate(fd, bad) == 0 ? bad : -1;
        at = next;
    }
}

// Where each history file of this process is known to end with a whole record, so that an append
// reads only what other processes added since.
struct KnownEnd {
    dev_t dev;
    ino_t ino;
    off_t end;
};
std::mutex g_knownMutex;
std::map<std::string, KnownEnd> g_known;

bool WriteAll(int fd, const unsigned char *p, size_t left) {
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

int AppendUsageRecord(const std::string &path, const VraUserHisItem &item,
                      unsigned long long timeMs) {
    const size_t appLen = item.appkey ? strlen(item.appkey) : 0;
    const size_t capLen = item.capkey ? strlen(item.capkey) : 0;
    const size_t infoLen = item.info ? item.info_len : 0;
    const size_t dataLen = item.data ? item.data_len : 0;
    const size_t resultLen = item.result ? item.result_len : 0;
    const size_t total = kHeadSize + appLen + capLen + infoLen + dataLen + resultLen + 4;
    if (total > kMaxRecord)
        return VRA_SYS_ERR_HISTORY;

    std::vector<unsigned char> rec;
    rec.reserve(total);
    PutBytes(rec, "VRAU", 4);
    PutU32(rec, static_cast<unsigned int>(total));
    PutU32(rec, kFormat);
    PutU64(rec, timeMs);
    for (size_t n : {appLen, capLen, infoLen, dataLen, resultLen}) {
        PutU32(rec, static_cast<unsigned int>(n));
    }
    PutBytes(rec, item.appkey, appLen);
    PutBytes(rec, item.capkey, capLen);
    PutBytes(rec, item.info, infoLen);
    PutBytes(rec, item.data, dataLen);
    PutBytes(rec, item.result, resultLen);
    PutU32(rec, Crc32(rec.data(), rec.size()));

    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0)
        MakeDirs(path.substr(0, slash));
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return VRA_SYS_ERR_HISTORY;
    // Every appender, in this process or another, holds the lock from the tail check to the
    // flush, so a record is never interleaved with another and a torn tail is a dead writer's.
    // Where locks are not available the append goes ahead unlocked.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    int code = VRA_SYS_ERR_HISTORY;
    struct stat st;
    if (::fstat(fd, &st) == 0) {
        off_t from = 0;
        {
            std::lock_guard<std::mutex> lock(g_knownMutex);
            auto it = g_known.find(path);
            if (it != g_known.end() && it->second.dev == st.st_dev && it->second.ino == st.st_ino &&
                it->second.end <= st.st_size)
                from = it->second.end;
        }
        const off_t end = RepairTail(fd, from, st.st_size);
        if (end >= 0) {
            // One write of the whole record at the end; a failed or short one is cut off again.
            if (WriteAll(fd, rec.data(), rec.size())) {
                code = 0;
            } else {
                // Should the cut fail too, the next append finds the torn record and cuts it.
                int cut = ::ftruncate(fd, end);
                (void)cut;
            }
            if (code == 0 && fdatasync(fd) != 0 && errno != EINVAL)
                code = VRA_SYS_ERR_HISTORY;
            std::lock_guard<std::mutex> lock(g_knownMutex);
            if (code == 0)
                g_known[path] = {st.st_dev, st.st_ino, end + static_cast<off_t>(rec.size())};
            else
                g_known.erase(path);
        }
    }
    if (::close(fd) != 0 && code == 0)  // closing also drops the lock
        code = VRA_SYS_ERR_HISTORY;
    return code;
}

}  // namespace vra_sys
