// The dictionaries in resources/hwr are sound and recognise plain writing.
#include <gtest/gtest.h>

#include <fstream>

#include "EngineFixtures.h"

using namespace chareng_test;

namespace {

std::vector<uint8_t> ReadResource(const std::string &name) {
    std::ifstream in(std::string(QV_HWR_RESOURCES) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

struct Row {
    const char *file;
    uint32_t range;
    Pairs writing;
    std::vector<uint16_t> acceptable;  // the first candidate is one of these
};

TEST(ShippedDictionariesTest, RecogniseSimpleWriting) {
    const Row rows[] = {
        {"letter.dic", 0x1F, Line(100, 10, 100, 300), {'1', 'l', 'I', '|'}},
        {"letter.dic", 0x1F, Circle(150, 150, 120), {'o', 'O', '0'}},
        {"letter.dic", 0x1F, Polyline({{20, 20}, {20, 300}, {200, 300}}), {'L'}},
        {"zh_letter.dic", 0x3F1F, Line(10, 150, 300, 150), {0x4E00, '-', '_'}},
        {"zh_letter.dic", 0x3F00, Line(10, 150, 300, 150), {0x4E00}},
        {"gesture.dic", 0x80, Line(10, 150, 300, 150), {1}},
        {"gesture.dic", 0x80, Line(150, 300, 150, 10), {7}},
    };
    for (const Row &row : rows) {
        std::vector<uint8_t> image = ReadResource(row.file);
        ASSERT_FALSE(image.empty()) << row.file;
        ASSERT_EQ(CharEngineCheckDictionary(image.data(), image.size()), 0) << row.file;
        Engine e(image);
        ASSERT_NE(e.h, nullptr);
        e.Set(kCharParamRange, static_cast<int32_t>(row.range));
        std::vector<uint16_t> gestureCodes(kCharSpecialCodes);
        for (int i = 0; i < kCharSpecialCodes; ++i)
            gestureCodes[i] = static_cast<uint16_t>(i + 1);
        CharEngineSetParam(e.h, kCharParamSpecial, gestureCodes.data());
        const auto r = e.Recog(row.writing);
        ASSERT_FALSE(r.codes.empty()) << row.file;
        EXPECT_NE(std::find(row.acceptable.begin(), row.acceptable.end(), r.codes[0]),
                  row.acceptable.end())
            << row.file << ": got U+" << std::hex << r.codes[0];
    }
}

}  // namespace
