// CharDictionary: the layout of a character-engine dictionary image and its validation.
// The image is little-endian: a header of twelve 32-bit words, then the sections in a fixed
// order, each present only when its size word is non-zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace chareng {

// Header words.
enum HeaderWord : int {
    kWordCalibration = 0,     // T0: per class a 16-bit offset a and a 16-bit scale b
    kWordCodes = 1,           // T1: output code per class; the class count is this size / 2
    kWordAltTraditional = 2,  // T2: traditional / full-width code per class
    kWordAltSimplified = 3,   // T3: simplified code per class
    kWordSubHeader = 4,       // stroke-matcher model: header block with prototypes
    kWordSubIndex = 5,        // stroke-matcher model: one 32-bit entry per class
    kWordMainHeader = 6,      // template model: header block with the template groups
    kWordProjection = 7,      // template model: 2944 x D signed 16-bit weights
    kWordSublang = 9,         // non-zero: a sub-language table follows the main model
};
constexpr size_t kHeaderWordCount = 12;
constexpr size_t kHeaderBytes = 48;

// Raw features of one writing: the trajectory block, then the rendering block.
constexpr int kGridFeatureCount = 1024;
constexpr int kRenderFeatureCount = 1920;
constexpr int kRawFeatureCount = kGridFeatureCount + kRenderFeatureCount;

// The projection sizes word 7 may hold: 2944 x D x 2 bytes for D = 32, 64, 96.
constexpr uint32_t kProjectionBytesD32 = 0x2E000;
constexpr uint32_t kProjectionBytesD64 = 0x5C000;
constexpr uint32_t kProjectionBytesD96 = 0x8A000;
constexpr int kMaxDim = 96;
constexpr int kCoarseDims = 32;

// Main model header block, offsets from its start.
constexpr size_t kMainOffSecondFeatureMode = 19;  // 8-bit
constexpr size_t kMainOffDivisor = 24;            // 32-bit s
constexpr size_t kMainOffDim = 28;                // 32-bit D
constexpr size_t kMainOffRawCount = 32;           // 32-bit, 2944
constexpr size_t kMainOffGroupSizes = 52;         // 20 x 32-bit bytes
constexpr size_t kMainOffGroupCounts = 132;       // 20 x 16-bit class counts
constexpr size_t kMainOffGroupTypes = 172;        // 20 x 8-bit types
constexpr size_t kMainOffDelta = 232;             // 8 x 16-bit delta, indexed by k
constexpr size_t kMainOffEigenCounts = 248;       // 8 x 8-bit eigenvector counts, indexed by k
constexpr size_t kMainHeaderBytes = 256;          // group data follows

constexpr int kGroupCount = 20;
constexpr int kKindCount = 8;  // values of header bits 12..14
constexpr int kMaxEigen = 5;
constexpr int kSpecialGroup = 5;  // gestures

// Range bit of each template group.
constexpr uint32_t kGroupMasks[kGroupCount] = {
    0x1,    0x2,    0x4,    0x8,    0x10,    0x80,    0x100,   0x200,   0x400,    0x800,
    0x1000, 0x2000, 0x4000, 0x8000, 0x10000, 0x20000, 0x40000, 0x80000, 0x100000, 0x200000};

enum GroupType : uint8_t {
    kGroupMqdf = 0,       // one record per class: header, mean, eigenvalues, eigenvectors
    kGroupMqdfMulti = 1,  // as 0; header bit 15 says another record of the class follows
    kGroupIndexed = 2,    // records of a 16-bit class index and D bytes
    kGroupMulti = 3,      // per class a 16-bit count m, then m templates of D bytes
};

// Record header of groups 0 and 1.
constexpr uint16_t kRecordConstMask = 0x0FFF;
constexpr int kRecordKindShift = 12;
constexpr uint16_t kRecordKindMask = 0x7;
constexpr uint16_t kRecordMoreFlag = 0x8000;

// Stroke-matcher model: a 256-byte header block start, prototypes after it; index entries.
constexpr size_t kSubHeaderBytes = 256;
constexpr uint32_t kSubNoPrototypes = 0xFFFFFFFFu;
constexpr uint32_t kSubOffsetMask = 0x00FFFFFFu;
constexpr int kSubCountShift = 24;
constexpr uint32_t kSubCountMask = 0x3F;
constexpr uint32_t kSubAlsoSwapped = 1u << 30;
constexpr uint32_t kSubUseHorizontal = 1u << 31;

// Bytes of a prototype of n points: a count byte, then 12 bits a point.
constexpr size_t PrototypeBytes(int n) {
    return 1 + (static_cast<size_t>(n) * 3 + 1) / 2;
}

inline uint16_t ReadU16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t ReadI16(const uint8_t *p) {
    return static_cast<int16_t>(ReadU16(p));
}
inline uint32_t ReadU32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Why a dictionary was refused.
enum class DictionaryError {
    kNone = 0,
    kNull,            // no image
    kProjectionKind,  // word 7 is not one of the three projection sizes
    kTruncated,       // a section runs past the end of the image
    kSectionSize,     // a code or calibration table of the wrong size
    kMainHeader,      // main header block too small, or D / raw count / divisor wrong
    kGroups,          // group sizes, class counts or records that do not add up
    kEigenCount,      // an eigenvector count above 5
    kDelta,           // a delta of 0 that a record uses
    kCalibration,     // a calibration scale of 0
    kSubModel,        // stroke-matcher index or prototypes outside their block
    kSublang,         // sub-language table runs past the image
};

const char *DictionaryErrorText(DictionaryError error);

// Where each section of an image lies. Pointers are null for absent sections.
struct DictionaryLayout {
    const uint8_t *image = nullptr;
    uint32_t words[kHeaderWordCount] = {};
    const uint8_t *calibration = nullptr;  // T0
    const uint8_t *codes = nullptr;        // T1
    const uint8_t *altTraditional = nullptr;
    const uint8_t *altSimplified = nullptr;
    uint32_t classCount = 0;  // T1 bytes / 2
    const uint8_t *subHeader = nullptr;
    const uint8_t *subIndex = nullptr;
    const uint8_t *mainHeader = nullptr;
    const uint8_t *projection = nullptr;
    int dim = 0;
    const uint8_t *sublang = nullptr;  // 16-bit count, then the entries
    uint16_t sublangCount = 0;
    size_t imageBytes = 0;  // bytes up to the end of the last section
};

constexpr size_t kUnknownSize = static_cast<size_t>(-1);

// Lays out an image and checks that it is consistent: sections inside `size` bytes (pass
// kUnknownSize when the caller does not know the size: then only the structure is checked),
// tables of matching sizes, group records that add up to the group sizes and class counts,
// eigenvector counts of at most 5, non-zero deltas and calibration scales, stroke-matcher
// prototypes inside their block and a sub-language table inside the image.
DictionaryError ParseDictionary(const void *image, size_t size, DictionaryLayout *out);

// Record size of a group of type 0 or 1 for a record header.
inline size_t MqdfRecordBytes(uint16_t header, const uint8_t *eigenCounts, int dim) {
    int n = eigenCounts[(header >> kRecordKindShift) & kRecordKindMask];
    return 2 + static_cast<size_t>(dim) + 2 * static_cast<size_t>(n) +
           static_cast<size_t>(n) * static_cast<size_t>(dim);
}

}  // namespace chareng
