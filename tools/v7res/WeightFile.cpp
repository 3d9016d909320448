#include "WeightFile.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "WeightTable.h"

namespace v7res {

using v7::kWeightTable;
using v7::kWeightTableSize;

namespace {

std::vector<uint32_t> Offsets() {
    std::vector<uint32_t> at(kWeightTableSize + 1, 0);
    for (int i = 0; i < kWeightTableSize; ++i)
        at[i + 1] = at[i] + kWeightTable[i].count;
    return at;
}

bool ReadText(const std::string &text, std::vector<float> *section, std::string *error) {
    const std::vector<uint32_t> at = Offsets();
    std::map<std::string, int> index;
    for (int i = 0; i < kWeightTableSize; ++i) {
        index[kWeightTable[i].name] = i;
        index[kWeightTable[i].name + std::strlen("weightContainer_")] = i;
    }
    section->assign(v7::kWeightSectionFloats, 0.0f);
    std::vector<bool> seen(kWeightTableSize, false);
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::istringstream fields(line);
        std::string name;
        if (!(fields >> name) || name[0] == '#')
            continue;
        auto it = index.find(name);
        if (it == index.end()) {
            *error = "line " + std::to_string(lineNo) + ": unknown weight array '" + name + "'";
            return false;
        }
        const int e = it->second;
        long count = -1;
        if (!(fields >> count) || count != static_cast<long>(kWeightTable[e].count)) {
            *error = "line " + std::to_string(lineNo) + ": '" + name + "' needs " +
                     std::to_string(kWeightTable[e].count) + " values, the line says " +
                     std::to_string(count);
            return false;
        }
        for (long i = 0; i < count; ++i)
            if (!(fields >> (*section)[at[e] + i])) {
                *error = "line " + std::to_string(lineNo) + ": '" + name + "' has only " +
                         std::to_string(i) + " readable values";
                return false;
            }
        seen[e] = true;
    }
    for (int i = 0; i < kWeightTableSize; ++i)
        if (!seen[i] && v7::IsWeightsEntry(kWeightTable[i])) {
            *error = std::string("missing weight array '") + kWeightTable[i].name + "'";
            return false;
        }
    return true;
}

}  // namespace

bool ReadWeightFile(const std::string &path, std::vector<float> *section, std::string *error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        *error = "cannot open " + path;
        return false;
    }
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (bytes.size() == v7::kWeightSectionBytes) {
        section->resize(v7::kWeightSectionFloats);
        std::memcpy(section->data(), bytes.data(), bytes.size());  // little-endian host
        return true;
    }
    if (!ReadText(bytes, section, error)) {
        *error = path + ": " + *error + " (a binary weight file has exactly " +
                 std::to_string(v7::kWeightSectionBytes) + " bytes)";
        return false;
    }
    return true;
}

void ScaleOutputLayer(std::vector<float> *section, float factor) {
    const std::vector<uint32_t> at = Offsets();
    for (int e = 0; e < kWeightTableSize; ++e)
        if (v7::IsWeightsEntry(kWeightTable[e]) &&
            std::strstr(kWeightTable[e].name, "_to_output_weights") != nullptr)
            for (uint32_t i = 0; i < kWeightTable[e].count; ++i)
                (*section)[at[e] + i] *= factor;
}

std::vector<float> RandomWeightSection(unsigned seed) {
    std::vector<float> w(v7::kWeightSectionFloats);
    uint64_t s = 0x9E3779B97F4A7C15ULL ^ seed;
    auto next = [&] {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(s >> 40) / static_cast<double>(1ULL << 24);  // [0, 1)
    };
    const std::vector<uint32_t> at = Offsets();
    for (int e = 0; e < kWeightTableSize; ++e) {
        const bool outputBias =
            std::strcmp(kWeightTable[e].name, "weightContainer_bias_to_output_weights") == 0;
        const bool toOutput = std::strstr(kWeightTable[e].name, "_to_output_weights") != nullptr;
        for (uint32_t i = 0; i < kWeightTable[e].count; ++i) {
            double v = (2.0 * next() - 1.0) * 0.3;
            // Strong output connections and a blank bias give frames a few confident labels,
            // as a trained network has.
            if (toOutput)
                v *= 2.0;
            if (outputBias)
                v = i == 53 ? 4.0 : (2.0 * next() - 1.0) * 1.5;
            w[at[e] + i] = static_cast<float>(v);
        }
    }
    return w;
}

}  // namespace v7res
