// CharSets: the classes of each dictionary the trainer builds (their output codes, their
// alternative codes and their template group) and the clean drawings each class is made from.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "CharSources.h"
#include "Ink.h"

namespace chartrain {

struct ClassDef {
    uint16_t code = 0;         // T1
    uint16_t traditional = 0;  // T2: traditional form, or full-width form of ASCII
    uint16_t simplified = 0;   // T3
    int group = 0;
    std::vector<Ink> drawings;  // clean drawings; samples cycle through them
    bool gesture = false;
};

struct CharSet {
    std::string name;
    std::vector<ClassDef> classes;  // in group order
};

// Where the source data lives.
struct SourcePaths {
    std::string hanziDir = ".cache/npm/node_modules/hanzi-writer-data";
    std::string hersheyDir = "/usr/share/hershey-fonts";
    std::string openccDir = ".cache/opencc";  // text dumps STCharacters.txt, TSCharacters.txt
};

// The Hershey fonts that training draws Latin characters from, and the one held out to test
// a style that training never saw.
std::vector<std::string> TrainingFonts();
std::string HeldOutFont();

// Latin: digits (group 0), upper case (1), lower case (2), punctuation (3), symbols (4).
// `fonts` are the Hershey files to draw from.
CharSet LatinSet(const SourcePaths &paths, const std::vector<std::string> &fonts);
// Chinese: the Latin groups, then GB2312 level 1 (group 6) and, with `level2`, level 2
// (group 7). Characters without stroke data are left out.
CharSet ChineseSet(const SourcePaths &paths, const std::vector<std::string> &fonts, bool level2);
// The 50 gestures in group 5.
CharSet GestureSet();

// Code point of the GB2312 character at row / cell (row 16..87, cell 1..94), or 0.
char32_t Gb2312Char(int row, int cell);
std::string Utf8(char32_t c);

// OpenCC character mapping "STCharacters" / "TSCharacters" as dumped to text by opencc_dict:
// first mapping of each BMP character.
std::map<char32_t, char32_t> LoadOpenccMap(const std::string &path);

}  // namespace chartrain
