// Assembling the V7 resources: english.main.dct (engine configuration and network weights),
// english.additional.dct (word-pass configuration and word model) and word-list resources.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace v7res {

// Settings of main section 0, by name (as `v7res main --set NAME=VALUE`).
struct MainSettings {
    uint32_t param3 = 0;
    uint32_t candidates = 10;  // at most 32
    uint32_t splitMode = 1;    // 0 single character, 1 line
    uint32_t width = 0;        // 0 narrow, 1 wide
    uint32_t beam = 16;        // character pass
    uint32_t span = 1;
    uint32_t weight = 1;
};

struct WordPassSettings {
    uint32_t beam = 16;
    uint32_t span = 1;
    uint32_t weight = 1;
    uint32_t order = 0;  // 0: the word model's
    uint32_t lookAhead = 1;
    uint32_t lookAheadCost = 0;
    uint32_t modelWeight = 100;
};

// Applies "name=value"; false with a message for an unknown name or a bad value.
bool ApplySetting(MainSettings *s, const std::string &item, std::string *error);
bool ApplySetting(WordPassSettings *s, const std::string &item, std::string *error);

std::vector<unsigned char> BuildMainResource(const MainSettings &settings,
                                             const std::vector<float> &weightSection);
// words: UTF-16 words (any order, duplicates allowed); counts as ReadNgramCounts gives them
// (empty: every word equally likely). Empty on failure.
std::vector<unsigned char> BuildAdditionalResource(
    const WordPassSettings &settings, std::vector<std::u16string> words, int order,
    const std::map<std::vector<uint32_t>, uint64_t> &counts);
std::vector<unsigned char> BuildWordListResource(std::vector<std::u16string> words);

// Words of a text file, one per line; with lettersOnly, lines that are not all ASCII letters
// are skipped.
std::vector<std::u16string> ReadWords(const std::string &text, bool lettersOnly);

}  // namespace v7res
