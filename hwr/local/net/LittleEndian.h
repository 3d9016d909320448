// Little-endian reads and writes of the V7 resource formats, safe at any alignment.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace v7 {

inline uint32_t ReadU32(const unsigned char *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void AppendU32(std::vector<unsigned char> *out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out->push_back(static_cast<unsigned char>(v >> (8 * i)));
}

inline void AppendU16(std::vector<unsigned char> *out, uint16_t v) {
    out->push_back(static_cast<unsigned char>(v));
    out->push_back(static_cast<unsigned char>(v >> 8));
}

inline void PutU32(unsigned char *p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace v7
