// Reading the system dictionary: header and checksum validation, the record chain, and the
// in-place descrambling of keyed records.
#pragma once

#include <cstdint>

namespace wa {

struct Record {
    uint8_t *payload = nullptr;
    uint32_t length = 0;
};

// True when the dictionary is 4-byte aligned, carries format 1, a terminated key text and a
// non-zero data length inside the file, and its checksum matches the stored data bytes.
bool CheckSystemHeader(const uint8_t *dict, uint32_t length);

// Finds record `index` (counting from 0) of a dictionary that passed CheckSystemHeader; a keyed
// record's payload is descrambled in place. False when the chain ends first or a record's lengths
// leave the data.
bool FindRecord(uint8_t *dict, uint32_t index, Record *record);

}  // namespace wa
