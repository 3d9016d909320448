// Layout of the association dictionaries: "wa.system.dct" (a header and a chain of records whose
// record 1 is the continuation trie) and "wa.user.dct" (a fixed-size ring of recent words).
// All integers are 32-bit little-endian, all texts UTF-16 code units. The engine reads these
// files and the dictionary builder writes them; both take the numbers from here.
#pragma once

#include <cstdint>
#include <cstring>

namespace wa {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the dictionaries are little-endian");

// System dictionary header.
inline constexpr uint32_t kFormatNumber = 1;
inline constexpr uint32_t kOffFormat = 0;
inline constexpr uint32_t kOffKey = 65;
inline constexpr uint32_t kKeyArea = 99;  // key text and its terminating zero
inline constexpr uint32_t kOffDataLength = 164;
inline constexpr uint32_t kOffChecksum = 168;
inline constexpr uint32_t kHeaderSize = 176;

// Records: record length (from the record's first byte to the next record), payload length,
// payload.
inline constexpr uint32_t kRecordHead = 8;
inline constexpr uint32_t kConfigRecord = 0;
inline constexpr uint32_t kTrieRecord = 1;

// Configuration record: which values of the session parameters the dictionary offers, and the
// session defaults.
inline constexpr uint32_t kParam0Values = 249;
inline constexpr uint32_t kParam1Values = 184;
inline constexpr uint32_t kParam2Bytes = 36;
inline constexpr uint32_t kParam3Values = 3;
inline constexpr uint32_t kModeValues = 2;
inline constexpr uint32_t kCfgParam0 = 0;
inline constexpr uint32_t kCfgParam1 = 249;
inline constexpr uint32_t kCfgParam2Mask = 433;
inline constexpr uint32_t kCfgParam3 = 469;
inline constexpr uint32_t kCfgMode = 472;
inline constexpr uint32_t kCfgDefParam0 = 476;
inline constexpr uint32_t kCfgDefParam1 = 480;
inline constexpr uint32_t kCfgDefParam2 = 484;
inline constexpr uint32_t kCfgDefParam3 = 520;
inline constexpr uint32_t kCfgDefCandNum = 524;
inline constexpr uint32_t kCfgDefMode = 528;
inline constexpr uint32_t kConfigSize = 532;

// Trie node: entry count, keys (one code unit each, ascending, padded with zeros to a multiple of
// 4 bytes), links (one per key: >= 0 the payload offset of the following node, < 0 the key ends a
// word whose frequency is the low 31 bits).
inline constexpr uint32_t kFrequencyMask = 0x7fffffffu;
inline constexpr uint32_t KeysBytes(uint32_t entries) {
    return (entries * 2 + 3) & ~3u;
}
inline constexpr uint64_t NodeBytes(uint64_t entries) {
    return 4 + ((entries * 2 + 3) & ~3ull) + entries * 4;
}

// User dictionary.
inline constexpr uint32_t kUserCapacity = 2048;
inline constexpr uint32_t kUserEntrySize = 514;  // 257 code units with the terminating zero
inline constexpr uint32_t kUserEntryUnits = kUserEntrySize / 2;
inline constexpr uint32_t kUserMaxWord = kUserEntryUnits - 1;
inline constexpr uint32_t kUserStride = 520;
inline constexpr uint32_t kUserOffCapacity = 0;
inline constexpr uint32_t kUserOffEntrySize = 4;
inline constexpr uint32_t kUserOffStride = 8;
inline constexpr uint32_t kUserOffOldest = 12;
inline constexpr uint32_t kUserOffNext = 16;
inline constexpr uint32_t kUserHeaderSize = 24;
inline constexpr uint32_t kUserDictSize = kUserHeaderSize + kUserCapacity * kUserStride;
static_assert(kUserDictSize == 1064984);

// Walks below a follow-on node go no deeper than this many code units; a candidate is at most this
// long.
inline constexpr uint32_t kMaxCandidateUnits = 256;
// Deepest path from the trie's root that a valid dictionary may hold; no word comes near it.
inline constexpr uint32_t kMaxTrieDepth = 1024;

inline uint32_t LoadU32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline int32_t LoadI32(const uint8_t *p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint16_t LoadU16(const uint8_t *p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void StoreU32(uint8_t *p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

}  // namespace wa
