// Dictionary images that are broken in one way each are refused without reading outside them.
#include <gtest/gtest.h>

#include <functional>

#include "EngineFixtures.h"

using namespace chareng_test;
using chareng::DictionaryError;
using chartrain::PutU16;
using chartrain::PutU32;

namespace {

// A sound image with every section: calibration, T1..T3, stroke matcher, main model with an
// MQDF group and a multi-template group, sub-language table.
std::vector<uint8_t> SoundImage() {
    TestProjection proj(32);
    auto shapes = Shapes();
    shapes.resize(4);
    chartrain::DictionarySpec spec = SpecFor(proj, shapes, {6, 6, 6, 6}, {'a', 'b', 'c', 'd'});
    spec.altTraditional = spec.codes;
    spec.altSimplified = spec.codes;
    spec.calibration.assign(4, {1, 1});
    chartrain::Prototype p;
    p.points = {{1, 2}, {3, 4}, {5, 6}};
    spec.subModel = {{{p}}, {}, {{p, p}}, {}};
    spec.hasSublang = true;
    spec.sublang = {{'a'}, {'b', 'c'}};
    return chartrain::WriteDictionary(spec);
}

size_t MainHeaderOffset(const std::vector<uint8_t> &img) {
    size_t off = chareng::kHeaderBytes;
    for (int w = 0; w <= 5; ++w)
        off += chareng::ReadU32(img.data() + 4 * w);
    return off;
}
size_t SubHeaderOffset(const std::vector<uint8_t> &img) {
    size_t off = chareng::kHeaderBytes;
    for (int w = 0; w <= 3; ++w)
        off += chareng::ReadU32(img.data() + 4 * w);
    return off;
}

struct Case {
    const char *name;
    std::function<void(std::vector<uint8_t> &)> breakIt;
    DictionaryError expected;
    bool startRefuses;  // CharEngineStart, which does not know the size, refuses it too
};

TEST(CharDictionaryTest, BrokenImagesAreRefused) {
    const std::vector<uint8_t> sound = SoundImage();
    ASSERT_EQ(CharEngineCheckDictionary(sound.data(), sound.size()), 0);
    const Case cases[] = {
        {"projection word 0x40000", [](auto &i) { PutU32(i, 28, 0x40000); },
         DictionaryError::kProjectionKind, true},
        {"image cut inside the projection", [](auto &i) { i.resize(i.size() - 100); },
         DictionaryError::kTruncated, false},
        {"image shorter than its header", [](auto &i) { i.resize(20); },
         DictionaryError::kTruncated, false},
        {"T1 size past the end", [](auto &i) { PutU32(i, 4, 0x7FFFFFF0); },
         DictionaryError::kTruncated, false},
        {"T2 of another size than T1",
         [](auto &i) { PutU32(i, 8, chareng::ReadU32(i.data() + 4) - 2); },
         DictionaryError::kSectionSize, false},
        {"group size one byte larger",
         [](auto &i) {
             const size_t at = MainHeaderOffset(i) + chareng::kMainOffGroupSizes + 4 * 6;
             PutU32(i, at, chareng::ReadU32(i.data() + at) + 1);
         },
         DictionaryError::kGroups, true},
        {"group class count off by one",
         [](auto &i) { PutU16(i, MainHeaderOffset(i) + chareng::kMainOffGroupCounts + 2 * 6, 5); },
         DictionaryError::kGroups, true},
        {"eigenvector count 6",
         [](auto &i) { i[MainHeaderOffset(i) + chareng::kMainOffEigenCounts + 2] = 6; },
         DictionaryError::kEigenCount, true},
        {"delta of 0 for the records' kind",
         [](auto &i) { PutU16(i, MainHeaderOffset(i) + chareng::kMainOffDelta, 0); },
         DictionaryError::kDelta, true},
        {"calibration scale of 0", [](auto &i) { PutU16(i, chareng::kHeaderBytes + 4 + 2, 0); },
         DictionaryError::kCalibration, true},
        {"prototype offset past its block",
         [](auto &i) {
             const size_t index = SubHeaderOffset(i) + chareng::ReadU32(i.data() + 16);
             PutU32(i, index, 0x01000000u | 0x00FFFFF0u);
         },
         DictionaryError::kSubModel, true},
        {"sub-language entry longer than the image",
         [](auto &i) { PutU16(i, i.size() - 6, 0x7FFF); }, DictionaryError::kSublang, false},
        {"divisor of 0",
         [](auto &i) { PutU32(i, MainHeaderOffset(i) + chareng::kMainOffDivisor, 0); },
         DictionaryError::kMainHeader, true},
        {"negative divisor",
         [](auto &i) { PutU32(i, MainHeaderOffset(i) + chareng::kMainOffDivisor, 0xFFFFFFF0u); },
         DictionaryError::kMainHeader, true},
        {"main model size past the end", [](auto &i) { PutU32(i, 24, 0x7FFFFFF0); },
         DictionaryError::kTruncated, false},
        {"main header block shorter than its fixed part", [](auto &i) { PutU32(i, 24, 200); },
         DictionaryError::kMainHeader, true},
        {"D in the main header is not that of word 7",
         [](auto &i) { PutU32(i, MainHeaderOffset(i) + chareng::kMainOffDim, 64); },
         DictionaryError::kMainHeader, true},
        {"raw feature count not 2944",
         [](auto &i) { PutU32(i, MainHeaderOffset(i) + chareng::kMainOffRawCount, 2943); },
         DictionaryError::kMainHeader, true},
        {"odd T1 size", [](auto &i) { PutU32(i, 4, chareng::ReadU32(i.data() + 4) - 1); },
         DictionaryError::kSectionSize, true},
        {"calibration table not 4 bytes a class",
         [](auto &i) { PutU32(i, 0, chareng::ReadU32(i.data()) - 4); },
         DictionaryError::kSectionSize, true},
        {"unknown group type 4",
         [](auto &i) { i[MainHeaderOffset(i) + chareng::kMainOffGroupTypes + 6] = 4; },
         DictionaryError::kGroups, true},
        {"continuation flag in a group of type 0",
         [](auto &i) {
             const size_t rec = MainHeaderOffset(i) + chareng::kMainHeaderBytes;
             PutU16(i, rec, chareng::ReadU16(i.data() + rec) | chareng::kRecordMoreFlag);
         },
         DictionaryError::kGroups, true},
        {"eigenvectors that the group's bytes do not hold",
         [](auto &i) { i[MainHeaderOffset(i) + chareng::kMainOffEigenCounts] = 1; },
         DictionaryError::kGroups, true},
        // Records without eigenvectors are 2 + D bytes, as type-2 records are: the record
        // header becomes the class index.
        {"type-2 record naming a class past the code table",
         [](auto &i) {
             const size_t mh = MainHeaderOffset(i);
             i[mh + chareng::kMainOffGroupTypes + 6] = chareng::kGroupIndexed;
             PutU16(i, mh + chareng::kMainHeaderBytes, 4);
         },
         DictionaryError::kGroups, true},
        {"type-3 template counts that do not fill the group",
         [](auto &i) { i[MainHeaderOffset(i) + chareng::kMainOffGroupTypes + 6] = 3; },
         DictionaryError::kGroups, true},
        // Words 4 and 5 moved against each other keep every later section in place.
        {"stroke-matcher header block shorter than its fixed part",
         [](auto &i) {
             const uint32_t w4 = chareng::ReadU32(i.data() + 16),
                            w5 = chareng::ReadU32(i.data() + 20);
             PutU32(i, 16, 100);
             PutU32(i, 20, w5 + w4 - 100);
         },
         DictionaryError::kSubModel, true},
        {"stroke-matcher index not 4 bytes a class",
         [](auto &i) {
             const uint32_t w4 = chareng::ReadU32(i.data() + 16),
                            w5 = chareng::ReadU32(i.data() + 20);
             PutU32(i, 16, w4 + 1);
             PutU32(i, 20, w5 - 1);
         },
         DictionaryError::kSubModel, true},
        {"more sub-language entries than the image holds",
         [](auto &i) { PutU16(i, i.size() - 12, 3); }, DictionaryError::kSublang, false},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> img = sound;
        c.breakIt(img);
        EXPECT_EQ(CharEngineCheckDictionary(img.data(), img.size()), static_cast<int>(c.expected))
            << c.name;
        if (c.startRefuses) {
            std::vector<uint8_t> work(kCharEngineWorkSize);
            EXPECT_EQ(CharEngineStart(img.data(), nullptr, work.data()), nullptr) << c.name;
        }
    }
}

TEST(CharDictionaryTest, NullDictionaryGivesNoHandle) {
    std::vector<uint8_t> work(kCharEngineWorkSize, 0xAB);
    EXPECT_EQ(CharEngineStart(nullptr, nullptr, work.data()), nullptr);
    EXPECT_EQ(work[kCharEngineMinWorkSize - 1], 0) << "the work memory is cleared first";
    EXPECT_NE(CharEngineCheckDictionary(nullptr, 0), 0);
}

}  // namespace
