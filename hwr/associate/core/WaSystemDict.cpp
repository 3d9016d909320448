#include "WaSystemDict.h"

#include <cstring>

#include "KeyedScramble.h"
#include "WaFormat.h"

namespace wa {
namespace {

// The sum of the bytes modulo 2^32, eight at a time: the four 16-bit lanes of `lanes` gather two
// bytes each per step and cannot overflow within 128 steps.
uint32_t ByteSum(const uint8_t *p, uint32_t n) {
    constexpr uint64_t kEven = 0x00ff00ff00ff00ffull;
    uint64_t total = 0;
    uint32_t i = 0;
    while (n - i >= 8) {
        uint64_t lanes = 0;
        for (uint32_t step = 0; step < 128 && n - i >= 8; ++step, i += 8) {
            uint64_t v;
            std::memcpy(&v, p + i, 8);
            lanes += (v & kEven) + ((v >> 8) & kEven);
        }
        total +=
            (lanes & 0xffff) + ((lanes >> 16) & 0xffff) + ((lanes >> 32) & 0xffff) + (lanes >> 48);
    }
    for (; i < n; ++i)
        total += p[i];
    return static_cast<uint32_t>(total);
}

}  // namespace

bool CheckSystemHeader(const uint8_t *dict, uint32_t length) {
    if (reinterpret_cast<uintptr_t>(dict) % 4 != 0 || length < kHeaderSize)
        return false;
    if (LoadU32(dict + kOffFormat) != kFormatNumber)
        return false;
    if (std::memchr(dict + kOffKey, 0, kKeyArea) == nullptr)
        return false;
    const uint32_t n = LoadU32(dict + kOffDataLength);
    if (n == 0 || n > length - kHeaderSize)
        return false;
    return ByteSum(dict + kHeaderSize, n) == LoadU32(dict + kOffChecksum);
}

bool FindRecord(uint8_t *dict, uint32_t index, Record *record) {
    const uint32_t n = LoadU32(dict + kOffDataLength);
    uint8_t *data = dict + kHeaderSize;
    uint32_t at = 0;
    for (uint32_t i = 0;; ++i) {
        if (n - at < kRecordHead)
            return false;
        const uint32_t recordLength = LoadU32(data + at);
        const uint32_t payloadLength = LoadU32(data + at + 4);
        // A record shorter than its own head would never advance the walk.
        if (recordLength < kRecordHead || recordLength > n - at)
            return false;
        if (i == index) {
            if (payloadLength > recordLength - kRecordHead)
                return false;
            record->payload = data + at + kRecordHead;
            record->length = payloadLength;
            const char *key = reinterpret_cast<const char *>(dict + kOffKey);
            if (key[0] != '\0')
                qvcommon::KeyedDescramble(record->payload, payloadLength, key);
            return true;
        }
        at += recordLength;
    }
}

}  // namespace wa
