// The container of the V7 resource files (english.main.dct, english.additional.dct): a header
// with a format byte, an optional key and a checksum, then a chain of section records.
//
//   0   format byte, 1          1  64 bytes not read
//   65  key: NUL-terminated text of up to 99 bytes; empty = sections stored plain
//   164 section area length (not 0)      168 checksum: sum of the area's bytes, 32-bit
//   172 4 bytes not read                 176 the section area
// A record: 32-bit record length (distance to the next record), 32-bit data length, the data.
// Sections of a keyed resource are stored scrambled (qvcommon::KeyedScramble with the key).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace v7 {

class SectionedResource {
  public:
    static constexpr size_t kHeaderSize = 176;
    static constexpr size_t kKeyOffset = 65;
    static constexpr size_t kMaxKey = 99;

    // Format byte 1, a non-zero area inside the image, a terminated key, a matching checksum.
    static bool IsValid(const void *image, size_t size);
    // The key text ("" for plain sections); the image must be valid.
    static std::string Key(const void *image);
    // Section index's data as stored, or false when the chain ends first or runs outside the
    // area. Plain resources have their checksum verified again.
    static bool Section(const void *image, size_t size, int index, const unsigned char **data,
                        uint32_t *length);
    // A resource holding the sections in order, scrambled with key when it is not empty.
    // Records are padded to 4 bytes so that every section starts 4-byte aligned.
    static std::vector<unsigned char> Build(const std::vector<std::vector<unsigned char>> &sections,
                                            const std::string &key = "");
};

}  // namespace v7
