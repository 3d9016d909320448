#include "RecogRange.h"

#include <strings.h>

namespace hwrlocal {

// Bits from 0x100 up mean different character sets in different languages, which is why several
// words share a mask.
const RecogRangeName kRecogRangeNames[kRecogRangeNameCount] = {
    {"lower", 0x4},
    {"upper", 0x2},
    {"alphabet", 0x6},
    {"number", 0x1},
    {"alnum", 0x7},
    {"symbol", 0x10},
    {"sympun", 0x18},
    {"punct", 0x8},
    {"punctuation", 0x8},
    {"gb", 0x3F00},
    {"gbk", 0x7FF00},
    {"gb18030", 0x2FFF00},
    {"big5_5401", 0x5200},
    {"big5", 0xF600},
    {"hkscs", 0x1A0000},
    {"katakana", 0x100},
    {"hiragana", 0x200},
    {"kanji_jis0208", 0xC00},
    {"kanji_cp932", 0x33C00},
    {"kanji_jis0213", 0xFC00},
    {"kanji_jis0212", 0x55C00},
    {"hanja", 0x100},
    {"hangul_basic", 0x200},
    {"hangul", 0x600},
    {"thai", 0x200},
    {"hindi", 0x200},
    {"greek_uppercase", 0x100},
    {"greek_lowercase", 0x200},
    {"latin_uppercase", 0x100},
    {"latin_lowercase", 0x200},
    {"cyrillic_uppercase", 0x100},
    {"cyrillic_lowercase", 0x200},
    {"arabic", 0x200},
    {"hebrew", 0x200},
    {"tibetan", 0x200},
    {"yi", 0x200},
    {"all", 0x0},
};

uint32_t RangeMask(const std::string &word) {
    for (const RecogRangeName &n : kRecogRangeNames)
        if (strcasecmp(n.word, word.c_str()) == 0)
            return n.mask;
    return 0;
}

}  // namespace hwrlocal
