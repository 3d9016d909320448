#include "CharDictionary.h"

namespace chareng {

const char *DictionaryErrorText(DictionaryError error) {
    switch (error) {
        case DictionaryError::kNone:
            return "ok";
        case DictionaryError::kNull:
            return "no dictionary image";
        case DictionaryError::kProjectionKind:
            return "projection size is not one of D = 32, 64, 96";
        case DictionaryError::kTruncated:
            return "a section runs past the end of the image";
        case DictionaryError::kSectionSize:
            return "code or calibration table of the wrong size";
        case DictionaryError::kMainHeader:
            return "bad main model header";
        case DictionaryError::kGroups:
            return "template groups do not add up";
        case DictionaryError::kEigenCount:
            return "eigenvector count above 5";
        case DictionaryError::kDelta:
            return "delta of 0";
        case DictionaryError::kCalibration:
            return "calibration scale of 0";
        case DictionaryError::kSubModel:
            return "bad stroke-matcher model";
        case DictionaryError::kSublang:
            return "bad sub-language table";
    }
    return "unknown";
}

namespace {

int DimOfProjection(uint32_t bytes) {
    switch (bytes) {
        case kProjectionBytesD32:
            return 32;
        case kProjectionBytesD64:
            return 64;
        case kProjectionBytesD96:
            return 96;
        default:
            return 0;
    }
}

// Sections are laid out with 64-bit offsets so that no sum of header words can wrap.
struct Cursor {
    uint64_t offset = kHeaderBytes;
    size_t size;
    bool Take(uint32_t bytes, const uint8_t *image, const uint8_t **at) {
        if (bytes == 0) {
            *at = nullptr;
            return true;
        }
        if (size != kUnknownSize && offset + bytes > size)
            return false;
        *at = image + offset;
        offset += bytes;
        return true;
    }
};

DictionaryError CheckGroups(const DictionaryLayout &d) {
    const uint8_t *h = d.mainHeader;
    const uint8_t *eigenCounts = h + kMainOffEigenCounts;
    for (int k = 0; k < kKindCount; ++k) {
        if (eigenCounts[k] > kMaxEigen)
            return DictionaryError::kEigenCount;
    }
    uint64_t total = 0;
    uint32_t classes = 0;
    for (int g = 0; g < kGroupCount; ++g) {
        total += ReadU32(h + kMainOffGroupSizes + 4 * g);
        classes += ReadU16(h + kMainOffGroupCounts + 2 * g);
    }
    if (total + kMainHeaderBytes != d.words[kWordMainHeader])
        return DictionaryError::kGroups;
    // Every class index must have an output code; the code tables are the class table.
    if (classes > d.classCount && d.codes != nullptr)
        return DictionaryError::kGroups;
    if (d.codes == nullptr && classes > 0)
        return DictionaryError::kGroups;

    const size_t dim = static_cast<size_t>(d.dim);
    const uint8_t *p = h + kMainHeaderBytes;
    for (int g = 0; g < kGroupCount; ++g) {
        const uint32_t bytes = ReadU32(h + kMainOffGroupSizes + 4 * g);
        const uint16_t count = ReadU16(h + kMainOffGroupCounts + 2 * g);
        const uint8_t type = h[kMainOffGroupTypes + g];
        const uint8_t *end = p + bytes;
        if (bytes == 0 && count == 0) {
            continue;
        }
        switch (type) {
            case kGroupMqdf:
            case kGroupMqdfMulti: {
                uint32_t seen = 0;
                while (p < end) {
                    if (end - p < 2)
                        return DictionaryError::kGroups;
                    const uint16_t header = ReadU16(p);
                    const int kind = (header >> kRecordKindShift) & kRecordKindMask;
                    if (ReadU16(h + kMainOffDelta + 2 * kind) == 0)
                        return DictionaryError::kDelta;
                    const size_t rec = MqdfRecordBytes(header, eigenCounts, d.dim);
                    if (static_cast<size_t>(end - p) < rec)
                        return DictionaryError::kGroups;
                    if (type == kGroupMqdf && (header & kRecordMoreFlag))
                        return DictionaryError::kGroups;
                    if (!(header & kRecordMoreFlag))
                        ++seen;
                    else if (p + rec == end)
                        return DictionaryError::kGroups;  // continuation without a record
                    p += rec;
                }
                if (seen != count)
                    return DictionaryError::kGroups;
                break;
            }
            case kGroupIndexed: {
                if (bytes % (2 + dim) != 0)
                    return DictionaryError::kGroups;
                for (; p < end; p += 2 + dim) {
                    if (ReadU16(p) >= classes)
                        return DictionaryError::kGroups;
                }
                break;
            }
            case kGroupMulti: {
                for (uint32_t c = 0; c < count; ++c) {
                    if (end - p < 2)
                        return DictionaryError::kGroups;
                    const size_t m = ReadU16(p);
                    if (static_cast<size_t>(end - p - 2) < m * dim)
                        return DictionaryError::kGroups;
                    p += 2 + m * dim;
                }
                if (p != end)
                    return DictionaryError::kGroups;
                break;
            }
            default:
                return DictionaryError::kGroups;
        }
        p = end;
    }
    return DictionaryError::kNone;
}

DictionaryError CheckSubModel(const DictionaryLayout &d) {
    const uint32_t headerBytes = d.words[kWordSubHeader];
    const uint32_t indexBytes = d.words[kWordSubIndex];
    if (headerBytes < kSubHeaderBytes || indexBytes % 4 != 0)
        return DictionaryError::kSubModel;
    const uint32_t entries = indexBytes / 4;
    const size_t area = headerBytes - kSubHeaderBytes;
    const uint8_t *protos = d.subHeader + kSubHeaderBytes;
    for (uint32_t c = 0; c < entries; ++c) {
        const uint32_t e = ReadU32(d.subIndex + 4 * c);
        if (e == kSubNoPrototypes)
            continue;
        size_t off = e & kSubOffsetMask;
        const uint32_t n = (e >> kSubCountShift) & kSubCountMask;
        for (uint32_t i = 0; i < n; ++i) {
            if (off >= area)
                return DictionaryError::kSubModel;
            const size_t bytes = PrototypeBytes(protos[off]);
            if (bytes > area - off)
                return DictionaryError::kSubModel;
            off += bytes;
        }
    }
    return DictionaryError::kNone;
}

}  // namespace

DictionaryError ParseDictionary(const void *imageVoid, size_t size, DictionaryLayout *out) {
    *out = DictionaryLayout{};
    const auto *image = static_cast<const uint8_t *>(imageVoid);
    if (image == nullptr)
        return DictionaryError::kNull;
    if (size != kUnknownSize && size < kHeaderBytes)
        return DictionaryError::kTruncated;
    DictionaryLayout d;
    d.image = image;
    for (size_t i = 0; i < kHeaderWordCount; ++i)
        d.words[i] = ReadU32(image + 4 * i);
    d.dim = DimOfProjection(d.words[kWordProjection]);
    if (d.dim == 0)
        return DictionaryError::kProjectionKind;

    Cursor cur{kHeaderBytes, size};
    if (!cur.Take(d.words[kWordCalibration], image, &d.calibration) ||
        !cur.Take(d.words[kWordCodes], image, &d.codes) ||
        !cur.Take(d.words[kWordAltTraditional], image, &d.altTraditional) ||
        !cur.Take(d.words[kWordAltSimplified], image, &d.altSimplified))
        return DictionaryError::kTruncated;
    d.classCount = d.words[kWordCodes] / 2;
    if (d.words[kWordCodes] % 2 != 0)
        return DictionaryError::kSectionSize;
    if (d.calibration && d.words[kWordCalibration] != 4ull * d.classCount)
        return DictionaryError::kSectionSize;
    if (d.altTraditional && d.words[kWordAltTraditional] != d.words[kWordCodes])
        return DictionaryError::kSectionSize;
    if (d.altSimplified && d.words[kWordAltSimplified] != d.words[kWordCodes])
        return DictionaryError::kSectionSize;

    if (d.words[kWordSubHeader] != 0 && d.words[kWordSubIndex] != 0) {
        if (!cur.Take(d.words[kWordSubHeader], image, &d.subHeader) ||
            !cur.Take(d.words[kWordSubIndex], image, &d.subIndex))
            return DictionaryError::kTruncated;
    } else if (d.words[kWordSubHeader] != 0 || d.words[kWordSubIndex] != 0) {
        // One half of the stroke-matcher model without the other: it is skipped as a whole,
        // but its bytes still sit between the tables and the main model.
        const uint8_t *skip = nullptr;
        if (!cur.Take(d.words[kWordSubHeader], image, &skip) ||
            !cur.Take(d.words[kWordSubIndex], image, &skip))
            return DictionaryError::kTruncated;
    }

    if (d.words[kWordMainHeader] != 0) {
        if (!cur.Take(d.words[kWordMainHeader], image, &d.mainHeader) ||
            !cur.Take(d.words[kWordProjection], image, &d.projection))
            return DictionaryError::kTruncated;
        if (d.words[kWordMainHeader] < kMainHeaderBytes)
            return DictionaryError::kMainHeader;
        const uint8_t *h = d.mainHeader;
        if (ReadU32(h + kMainOffDim) != static_cast<uint32_t>(d.dim) ||
            ReadU32(h + kMainOffRawCount) != static_cast<uint32_t>(kRawFeatureCount) ||
            static_cast<int32_t>(ReadU32(h + kMainOffDivisor)) <= 0)
            return DictionaryError::kMainHeader;
    }

    if (d.words[kWordSublang] != 0) {
        if (size != kUnknownSize && cur.offset + 2 > size)
            return DictionaryError::kSublang;
        d.sublang = image + cur.offset;
        d.sublangCount = ReadU16(d.sublang);
        uint64_t off = cur.offset + 2;
        for (uint32_t i = 0; i < d.sublangCount; ++i) {
            if (size != kUnknownSize && off + 2 > size)
                return DictionaryError::kSublang;
            const uint32_t n = ReadU16(image + off);
            off += 2 + 2ull * n;
        }
        if (size != kUnknownSize && off > size)
            return DictionaryError::kSublang;
        cur.offset = off;
    }
    d.imageBytes = static_cast<size_t>(cur.offset);

    if (d.calibration) {
        for (uint32_t c = 0; c < d.classCount; ++c) {
            if (ReadI16(d.calibration + 4 * c + 2) == 0)
                return DictionaryError::kCalibration;
        }
    }
    if (d.mainHeader) {
        DictionaryError e = CheckGroups(d);
        if (e != DictionaryError::kNone)
            return e;
    }
    if (d.subHeader) {
        DictionaryError e = CheckSubModel(d);
        if (e != DictionaryError::kNone)
            return e;
    }
    *out = d;
    return DictionaryError::kNone;
}

}  // namespace chareng
