#include "WaSystemDict.h"

#include <cstring>

#include "WaFormat.h"
#include "WaKeyScramble.h"

namespace wa {

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
    uint32_t sum = 0;
    const uint8_t *data = dict + kHeaderSize;
    for (uint32_t i = 0; i < n; ++i)
        sum += data[i];
    return sum == LoadU32(dict + kOffChecksum);
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
                XorWithKey(record->payload, payloadLength, key);
            return true;
        }
        at += recordLength;
    }
}

}  // namespace wa
