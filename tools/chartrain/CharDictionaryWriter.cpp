#include "CharDictionaryWriter.h"

#include <stdexcept>

#include "StrokeMatcher.h"

namespace chartrain {

using namespace chareng;

void AppendU16(std::vector<uint8_t> &out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void AppendU32(std::vector<uint8_t> &out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutU16(std::vector<uint8_t> &out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(std::vector<uint8_t> &out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void TemplateGroup::AddMqdfClass(const std::vector<MqdfRecord> &records) {
    if (records.empty() || (type == kGroupMqdf && records.size() != 1))
        throw std::invalid_argument("a type 0 class has exactly one record");
    for (size_t r = 0; r < records.size(); ++r) {
        const MqdfRecord &rec = records[r];
        if (rec.lambdas.size() != rec.vectors.size())
            throw std::invalid_argument("one eigenvalue per eigenvector");
        uint16_t header = static_cast<uint16_t>((rec.constant & kRecordConstMask) |
                                                ((rec.kind & kRecordKindMask) << kRecordKindShift));
        if (r + 1 < records.size())
            header |= kRecordMoreFlag;
        AppendU16(bytes, header);
        bytes.insert(bytes.end(), rec.mean.begin(), rec.mean.end());
        for (uint16_t l : rec.lambdas)
            AppendU16(bytes, l);
        for (const auto &v : rec.vectors)
            for (int8_t c : v)
                bytes.push_back(static_cast<uint8_t>(c));
    }
    ++classCount;
}

void TemplateGroup::AddIndexed(uint16_t cls, const std::vector<uint8_t> &mean) {
    type = kGroupIndexed;
    AppendU16(bytes, cls);
    bytes.insert(bytes.end(), mean.begin(), mean.end());
}

void TemplateGroup::AddMulti(const std::vector<std::vector<uint8_t>> &templates) {
    type = kGroupMulti;
    AppendU16(bytes, static_cast<uint16_t>(templates.size()));
    for (const auto &t : templates)
        bytes.insert(bytes.end(), t.begin(), t.end());
    ++classCount;
}

namespace {

uint32_t ProjectionBytes(int dim) {
    switch (dim) {
        case 32:
            return kProjectionBytesD32;
        case 64:
            return kProjectionBytesD64;
        case 96:
            return kProjectionBytesD96;
        default:
            throw std::invalid_argument("D must be 32, 64 or 96");
    }
}

std::vector<uint8_t> Codes(const std::vector<uint16_t> &codes) {
    std::vector<uint8_t> out;
    for (uint16_t c : codes)
        AppendU16(out, c);
    return out;
}

}  // namespace

std::vector<uint8_t> WriteDictionary(const DictionarySpec &spec) {
    const size_t classes = spec.codes.size();
    auto checkSize = [classes](size_t n, const char *what) {
        if (n != 0 && n != classes)
            throw std::invalid_argument(std::string(what) + " needs one entry per class");
    };
    checkSize(spec.altTraditional.size(), "T2");
    checkSize(spec.altSimplified.size(), "T3");
    checkSize(spec.calibration.size(), "T0");

    std::vector<uint8_t> t0;
    for (auto [a, b] : spec.calibration) {
        AppendU16(t0, static_cast<uint16_t>(a));
        AppendU16(t0, static_cast<uint16_t>(b));
    }
    const std::vector<uint8_t> t1 = Codes(spec.codes), t2 = Codes(spec.altTraditional),
                               t3 = Codes(spec.altSimplified);

    std::vector<uint8_t> subHeader, subIndex;
    if (!spec.subModel.empty()) {
        subHeader.assign(kSubHeaderBytes, 0);
        for (const SubModelClass &c : spec.subModel) {
            if (c.prototypes.empty()) {
                AppendU32(subIndex, kSubNoPrototypes);
                continue;
            }
            const size_t offset = subHeader.size() - kSubHeaderBytes;
            if (offset > kSubOffsetMask || c.prototypes.size() > kSubCountMask)
                throw std::invalid_argument("stroke-matcher model too large");
            uint32_t entry = static_cast<uint32_t>(offset) |
                             (static_cast<uint32_t>(c.prototypes.size()) << kSubCountShift);
            if (c.useHorizontal)
                entry |= kSubUseHorizontal;
            if (c.alsoSwapped)
                entry |= kSubAlsoSwapped;
            AppendU32(subIndex, entry);
            for (const Prototype &p : c.prototypes) {
                if (p.points.size() > 255)
                    throw std::invalid_argument("prototype of more than 255 points");
                std::vector<uint8_t> packed(PrototypeBytes(static_cast<int>(p.points.size())));
                std::vector<uint8_t> flat;
                for (auto pt : p.points) {
                    flat.push_back(pt[0]);
                    flat.push_back(pt[1]);
                }
                PackPrototype(reinterpret_cast<const uint8_t(*)[2]>(flat.data()),
                              static_cast<int>(p.points.size()), packed.data());
                subHeader.insert(subHeader.end(), packed.begin(), packed.end());
            }
        }
    }

    std::vector<uint8_t> mainHeader, projection;
    uint32_t projectionBytes = ProjectionBytes(spec.dim);
    if (spec.hasMain) {
        mainHeader.assign(kMainHeaderBytes, 0);
        mainHeader[0] = 'Q';
        mainHeader[1] = 'V';
        mainHeader[2] = 'C';
        mainHeader[3] = 'E';
        mainHeader[kMainOffSecondFeatureMode] = spec.secondFeatureMode;
        PutU32(mainHeader, kMainOffDivisor, static_cast<uint32_t>(spec.divisor));
        PutU32(mainHeader, kMainOffDim, static_cast<uint32_t>(spec.dim));
        PutU32(mainHeader, kMainOffRawCount, kRawFeatureCount);
        for (int g = 0; g < kGroupCount; ++g) {
            const TemplateGroup &grp = spec.groups[g];
            PutU32(mainHeader, kMainOffGroupSizes + 4 * g, static_cast<uint32_t>(grp.bytes.size()));
            PutU16(mainHeader, kMainOffGroupCounts + 2 * g, grp.classCount);
            mainHeader[kMainOffGroupTypes + g] = grp.type;
        }
        for (int k = 0; k < kKindCount; ++k) {
            PutU16(mainHeader, kMainOffDelta + 2 * k, spec.delta[k]);
            mainHeader[kMainOffEigenCounts + k] = spec.eigenCounts[k];
        }
        for (const TemplateGroup &grp : spec.groups)
            mainHeader.insert(mainHeader.end(), grp.bytes.begin(), grp.bytes.end());
        if (spec.projection.size() != static_cast<size_t>(kRawFeatureCount) * spec.dim)
            throw std::invalid_argument("projection needs 2944 x D weights");
        for (int16_t w : spec.projection)
            AppendU16(projection, static_cast<uint16_t>(w));
    }

    std::vector<uint8_t> out(kHeaderBytes, 0);
    PutU32(out, 4 * kWordCalibration, static_cast<uint32_t>(t0.size()));
    PutU32(out, 4 * kWordCodes, static_cast<uint32_t>(t1.size()));
    PutU32(out, 4 * kWordAltTraditional, static_cast<uint32_t>(t2.size()));
    PutU32(out, 4 * kWordAltSimplified, static_cast<uint32_t>(t3.size()));
    PutU32(out, 4 * kWordSubHeader, static_cast<uint32_t>(subHeader.size()));
    PutU32(out, 4 * kWordSubIndex, static_cast<uint32_t>(subIndex.size()));
    PutU32(out, 4 * kWordMainHeader, static_cast<uint32_t>(mainHeader.size()));
    PutU32(out, 4 * kWordProjection, projectionBytes);
    PutU32(out, 4 * kWordSublang, spec.hasSublang ? 1u : 0u);
    const std::vector<uint8_t> *parts[] = {&t0,        &t1,       &t2,         &t3,
                                           &subHeader, &subIndex, &mainHeader, &projection};
    for (const auto *part : parts)
        out.insert(out.end(), part->begin(), part->end());
    if (spec.hasSublang) {
        AppendU16(out, static_cast<uint16_t>(spec.sublang.size()));
        for (const auto &entry : spec.sublang) {
            AppendU16(out, static_cast<uint16_t>(entry.size()));
            for (uint16_t c : entry)
                AppendU16(out, c);
        }
    }
    return out;
}

}  // namespace chartrain
