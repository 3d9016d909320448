#include "SublangTable.h"

#include <strings.h>

namespace hwrlocal {

namespace {

// The positions are values that travel to the character engine: append only.
const char *const kArabic[] = {"arabic", "uyghur"};

const char *const kCyrillic[] = {"belarussian_cyrillic",
                                 "bosnian_cyrillic",
                                 "bulgarian",
                                 "gagauz_cyrillic",
                                 "ingush",
                                 "kabardian",
                                 "kazakh",
                                 "kirghiz",
                                 "kurdish_cyrillic",
                                 "lezgi",
                                 "macedonian",
                                 "moldavian_cyrillic",
                                 "mongolian",
                                 "russian",
                                 "serbian",
                                 "ukrainian",
                                 "uzbek"};

const char *const kLatin[] = {"afrikaans",
                              "albanian",
                              "basque",
                              "belarussian_latin",
                              "bosnian_latin",
                              "catalan",
                              "cebuano",
                              "croatian",
                              "czech",
                              "danish",
                              "dutch",
                              "english",
                              "esperanto",
                              "estonian",
                              "faroese",
                              "fijian",
                              "finnish",
                              "flemish",
                              "french",
                              "gagauz_latin",
                              "galician",
                              "german",
                              "hausa",
                              "hungarian",
                              "icelandic",
                              "igbo",
                              "indonesian",
                              "irish",
                              "italian",
                              "kurdish_latin",
                              "latvian",
                              "lithuanian",
                              "luxembourgish",
                              "malay",
                              "maltese",
                              "maori",
                              "moldavian_latin",
                              "norwegian",
                              "oromo",
                              "polish",
                              "portuguese_brazil",
                              "portuguese_portugal",
                              "romansch",
                              "romanian",
                              "samoan",
                              "serbian",
                              "slovak",
                              "slovenian",
                              "sotho",
                              "spanish",
                              "swahili",
                              "swazi",
                              "swedish",
                              "tagalog",
                              "tahitian",
                              "tatar",
                              "tongan",
                              "turkish",
                              "turkmen",
                              "vietnamese",
                              "wallon",
                              "welsh",
                              "xhosa",
                              "yoruba",
                              "zulu"};

template <int N>
constexpr int Count(const char *const (&)[N]) {
    return N;
}

static_assert(Count(kArabic) == 2 && Count(kCyrillic) == 17 && Count(kLatin) == 65);

}  // namespace

const SublangRow kSublangTable[kSublangRowCount] = {
    {"arabic", kArabic, Count(kArabic)},
    {"cyrillic", kCyrillic, Count(kCyrillic)},
    {"latin", kLatin, Count(kLatin)},
};

const SublangRow *FindSublangRow(const std::string &script) {
    for (const SublangRow &row : kSublangTable)
        if (strcasecmp(row.script, script.c_str()) == 0)
            return &row;
    return nullptr;
}

int FindSublang(const SublangRow &row, const std::string &name) {
    for (int i = 0; i < row.count; ++i)
        if (strcasecmp(row.names[i], name.c_str()) == 0)
            return i;
    return -1;
}

}  // namespace hwrlocal
