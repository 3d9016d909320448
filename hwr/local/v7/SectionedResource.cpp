#include "SectionedResource.h"

#include <algorithm>
#include <cstring>

#include "KeyedScramble.h"
#include "LittleEndian.h"

namespace v7 {

namespace {

uint32_t Checksum(const unsigned char *area, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum += area[i];
    return sum;
}

}  // namespace

bool SectionedResource::IsValid(const void *image, size_t size) {
    const auto *b = static_cast<const unsigned char *>(image);
    if (!b || size < kHeaderSize || b[0] != 1)
        return false;
    if (!std::memchr(b + kKeyOffset, 0, kMaxKey))
        return false;
    const uint32_t area = ReadU32(b + 164);
    if (area == 0 || area > size - kHeaderSize)
        return false;
    return Checksum(b + kHeaderSize, area) == ReadU32(b + 168);
}

std::string SectionedResource::Key(const void *image) {
    const auto *b = static_cast<const unsigned char *>(image);
    return std::string(reinterpret_cast<const char *>(b + kKeyOffset),
                       strnlen(reinterpret_cast<const char *>(b + kKeyOffset), kMaxKey));
}

bool SectionedResource::Section(const void *image, size_t size, int index,
                                const unsigned char **data, uint32_t *length) {
    if (!IsValid(image, size) || index < 0)
        return false;
    const auto *b = static_cast<const unsigned char *>(image);
    const uint64_t area = ReadU32(b + 164);
    const unsigned char *start = b + kHeaderSize;
    uint64_t at = 0;
    for (int i = 0;; ++i) {
        if (at + 8 > area)
            return false;
        const uint64_t record = ReadU32(start + at), dataLength = ReadU32(start + at + 4);
        if (record < 8 || at + record > area || dataLength > record - 8)
            return false;
        if (i == index) {
            *data = start + at + 8;
            *length = static_cast<uint32_t>(dataLength);
            return true;
        }
        at += record;
    }
}

std::vector<unsigned char> SectionedResource::Build(
    const std::vector<std::vector<unsigned char>> &sections, const std::string &key) {
    std::vector<unsigned char> area;
    for (const auto &s : sections) {
        const size_t padded = (s.size() + 3) / 4 * 4;
        AppendU32(&area, static_cast<uint32_t>(8 + padded));
        AppendU32(&area, static_cast<uint32_t>(s.size()));
        const size_t at = area.size();
        area.insert(area.end(), s.begin(), s.end());
        if (!key.empty())
            qvcommon::KeyedScramble(&area[at], s.size(), key.c_str());
        area.resize(at + padded, 0);
    }
    std::vector<unsigned char> out(kHeaderSize + area.size(), 0);
    out[0] = 1;
    std::memcpy(&out[kKeyOffset], key.data(), std::min(key.size(), kMaxKey - 1));
    PutU32(&out[164], static_cast<uint32_t>(area.size()));
    PutU32(&out[168], Checksum(area.data(), area.size()));
    if (!area.empty())
        std::memcpy(&out[kHeaderSize], area.data(), area.size());
    return out;
}

}  // namespace v7
