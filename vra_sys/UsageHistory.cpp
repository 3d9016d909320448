#include "UsageHistory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

int AppendUsageRecord(const std::string &path, const VraUserHisItem &item,
                      unsigned long long timeMs) {
    const size_t appLen = item.appkey ? strlen(item.appkey) : 0;
    const size_t capLen = item.capkey ? strlen(item.capkey) : 0;
    const size_t infoLen = item.info ? item.info_len : 0;
    const size_t dataLen = item.data ? item.data_len : 0;
    const size_t resultLen = item.result ? item.result_len : 0;
    const size_t total =
        4 + 4 + 4 + 8 + 5 * 4 + appLen + capLen + infoLen + dataLen + resultLen + 4;
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
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return VRA_SYS_ERR_HISTORY;
    // One write of the whole record: O_APPEND places it after every earlier record, so a crash
    // leaves at worst a torn last record that a reader recognises by its length and checksum.
    const unsigned char *p = rec.data();
    size_t left = rec.size();
    int code = 0;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            code = VRA_SYS_ERR_HISTORY;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (code == 0 && fdatasync(fd) != 0 && errno != EINVAL)
        code = VRA_SYS_ERR_HISTORY;
    if (::close(fd) != 0 && code == 0)
        code = VRA_SYS_ERR_HISTORY;
    return code;
}

}  // namespace vra_sys
