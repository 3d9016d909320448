#include "ResourceBuilder.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "LittleEndian.h"
#include "NgramEstimator.h"
#include "SectionedResource.h"
#include "V7EngineRecord.h"
#include "WordModel.h"

namespace v7res {

namespace {

bool ParseItem(const std::string &item, std::string *name, uint32_t *value, std::string *error) {
    const size_t eq = item.find('=');
    char *end = nullptr;
    if (eq == std::string::npos || eq + 1 >= item.size()) {
        *error = "expected NAME=VALUE, got '" + item + "'";
        return false;
    }
    *name = item.substr(0, eq);
    const unsigned long v = std::strtoul(item.c_str() + eq + 1, &end, 10);
    if (*end != 0 || v > 0xFFFFFFFFul) {
        *error = "'" + item + "': the value must be a non-negative integer";
        return false;
    }
    *value = static_cast<uint32_t>(v);
    return true;
}

bool Set(const std::string &name, uint32_t value,
         const std::vector<std::pair<const char *, uint32_t *>> &fields, std::string *error) {
    for (auto &[n, field] : fields)
        if (name == n) {
            *field = value;
            return true;
        }
    *error = "unknown setting '" + name + "'";
    return false;
}

}  // namespace

bool ApplySetting(MainSettings *s, const std::string &item, std::string *error) {
    std::string name;
    uint32_t v;
    if (!ParseItem(item, &name, &v, error))
        return false;
    if ((name == "candidates" && (v < 1 || v > 32)) || (name == "splitmode" && v > 5) ||
        (name == "width" && v > 1) || (name == "param3" && v > 2) ||
        (name == "span" && (v < 1 || v > 255)) || ((name == "beam" || name == "weight") && v < 1)) {
        *error = "'" + item + "' is out of range";
        return false;
    }
    return Set(name, v,
               {{"param3", &s->param3},
                {"candidates", &s->candidates},
                {"splitmode", &s->splitMode},
                {"width", &s->width},
                {"beam", &s->beam},
                {"span", &s->span},
                {"weight", &s->weight}},
               error);
}

bool ApplySetting(WordPassSettings *s, const std::string &item, std::string *error) {
    std::string name;
    uint32_t v;
    if (!ParseItem(item, &name, &v, error))
        return false;
    if (((name == "span" || name == "lookaheadcost") && v > 255) || (name == "order" && v > 9) ||
        (name == "lookahead" && v > 1) ||
        ((name == "beam" || name == "weight" || name == "modelweight" || name == "span") &&
         v < 1)) {
        *error = "'" + item + "' is out of range";
        return false;
    }
    return Set(name, v,
               {{"beam", &s->beam},
                {"span", &s->span},
                {"weight", &s->weight},
                {"order", &s->order},
                {"lookahead", &s->lookAhead},
                {"lookaheadcost", &s->lookAheadCost},
                {"modelweight", &s->modelWeight}},
               error);
}

std::vector<unsigned char> BuildMainResource(const MainSettings &s,
                                             const std::vector<float> &weights) {
    using namespace v7config;
    std::vector<unsigned char> config(kSize, 0);
    std::fill(config.begin() + kParam0Flags, config.begin() + kParam0Flags + kParam0Count, 1);
    std::fill(config.begin() + kParam1Flags, config.begin() + kParam1Flags + kParam1Count, 1);
    // The eight character classes this recogniser knows are allowed and set at the start.
    std::fill(config.begin() + kCharSetFlags, config.begin() + kCharSetFlags + 8, 1);
    std::fill(config.begin() + kParam3Flags, config.begin() + kParam3Flags + 3, 1);
    std::fill(config.begin() + kSplitModeFlags, config.begin() + kSplitModeFlags + 6, 1);
    v7::PutU32(&config[kDefaultParam3], s.param3);
    v7::PutU32(&config[kDefaultCandidates], s.candidates);
    v7::PutU32(&config[kDefaultSplitMode], s.splitMode);
    v7::PutU32(&config[kDefaultWidth], s.width);
    v7::PutU32(&config[kCharBeam], s.beam);
    config[kCharSpan] = static_cast<unsigned char>(s.span);
    v7::PutU32(&config[kCharCostWeight], s.weight);
    std::vector<unsigned char> section(weights.size() * 4);
    std::memcpy(section.data(), weights.data(), section.size());  // little-endian host
    return v7::SectionedResource::Build({config, section});
}

std::vector<unsigned char> BuildAdditionalResource(
    const WordPassSettings &s, std::vector<std::u16string> words, int order,
    const std::map<std::vector<uint32_t>, uint64_t> &counts) {
    using namespace v7config;
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    words.erase(std::remove(words.begin(), words.end(), std::u16string()), words.end());
    const auto ngrams =
        EstimateNgrams(static_cast<uint32_t>(words.size()) + v7::kFirstWordToken, order, counts);
    const std::vector<unsigned char> model = v7::BuildWordModel(words, order, true, ngrams);
    if (model.empty())
        return {};
    std::vector<unsigned char> config(kWordSize, 0);
    v7::PutU32(&config[kWordBeam], s.beam);
    config[kWordSpan] = static_cast<unsigned char>(s.span);
    v7::PutU32(&config[kWordCostWeight], s.weight);
    config[kWordOrder] = static_cast<unsigned char>(s.order ? s.order : order);
    config[kWordLookAhead] = static_cast<unsigned char>(s.lookAhead);
    config[kWordLookAheadCost] = static_cast<unsigned char>(s.lookAheadCost);
    v7::PutU32(&config[kWordModelWeight], s.modelWeight);
    return v7::SectionedResource::Build({config, model});
}

std::vector<unsigned char> BuildWordListResource(std::vector<std::u16string> words) {
    return v7::SectionedResource::Build({v7::BuildWordList(std::move(words))});
}

std::vector<std::u16string> ReadWords(const std::string &text, bool lettersOnly) {
    std::vector<std::u16string> words;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (line.empty())
            continue;
        if (lettersOnly && !std::all_of(line.begin(), line.end(), [](unsigned char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            }))
            continue;
        const std::u16string w = Utf8ToUtf16(line);
        if (!w.empty())
            words.push_back(w);
    }
    return words;
}

}  // namespace v7res
