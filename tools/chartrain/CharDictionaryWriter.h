// CharDictionaryWriter: assembles a character-engine dictionary image from its parts (code
// tables, calibration, projection, template groups, stroke-matcher prototypes, sub-language
// table). Used by the trainer and by tests that need small hand-made dictionaries.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "CharDictionary.h"

namespace chartrain {

struct MqdfRecord {
    uint16_t constant = 0;          // 12 bits
    int kind = 0;                   // 0..7: selects delta and eigenvector count
    std::vector<uint8_t> mean;      // D values + 128
    std::vector<uint16_t> lambdas;  // eigenvector count [kind] entries
    std::vector<std::vector<int8_t>> vectors;
};

struct TemplateGroup {
    uint8_t type = chareng::kGroupMqdf;
    uint16_t classCount = 0;
    std::vector<uint8_t> bytes;

    // Type 0 (one record) or 1 (one or more records) for the next class.
    void AddMqdfClass(const std::vector<MqdfRecord> &records);
    // Type 2: a record for class index `cls`, which need not be in this group.
    void AddIndexed(uint16_t cls, const std::vector<uint8_t> &mean);
    // Type 3: the next class with its templates.
    void AddMulti(const std::vector<std::vector<uint8_t>> &templates);
};

struct Prototype {
    std::vector<std::array<uint8_t, 2>> points;  // coordinates 0..63
};

struct SubModelClass {
    std::vector<Prototype> prototypes;  // empty: no prototypes
    bool useHorizontal = false;
    bool alsoSwapped = false;
};

struct DictionarySpec {
    std::vector<uint16_t> codes;                           // T1; its size is the class count
    std::vector<uint16_t> altTraditional;                  // T2, empty when absent
    std::vector<uint16_t> altSimplified;                   // T3, empty when absent
    std::vector<std::pair<int16_t, int16_t>> calibration;  // T0 (a, b), empty when absent

    bool hasMain = true;
    int dim = 64;
    int32_t divisor = 1;
    uint8_t secondFeatureMode = 0;
    std::vector<int16_t> projection;  // kRawFeatureCount x dim, row by row
    std::array<TemplateGroup, chareng::kGroupCount> groups;
    std::array<uint16_t, chareng::kKindCount> delta{};
    std::array<uint8_t, chareng::kKindCount> eigenCounts{};

    std::vector<SubModelClass> subModel;  // empty: no stroke-matcher model

    bool hasSublang = false;
    std::vector<std::vector<uint16_t>> sublang;
};

// Builds the image. Throws std::invalid_argument for parts that do not fit the format.
std::vector<uint8_t> WriteDictionary(const DictionarySpec &spec);

void AppendU16(std::vector<uint8_t> &out, uint16_t v);
void AppendU32(std::vector<uint8_t> &out, uint32_t v);
void PutU16(std::vector<uint8_t> &out, size_t at, uint16_t v);
void PutU32(std::vector<uint8_t> &out, size_t at, uint32_t v);

}  // namespace chartrain
