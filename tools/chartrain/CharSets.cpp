#include "CharSets.h"

#include <iconv.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "inksynth/StrokeFace.h"

namespace chartrain {

std::vector<std::string> TrainingFonts() {
    return {"futural", "rowmans", "scripts", "timesr", "timesi", "scriptc", "rowmand", "futuram"};
}
std::string HeldOutFont() {
    return "cursive";
}

std::string Utf8(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        s.push_back(static_cast<char>(0xC0 | (c >> 6)));
        s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        s.push_back(static_cast<char>(0xE0 | (c >> 12)));
        s.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        s.push_back(static_cast<char>(0xF0 | (c >> 18)));
        s.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return s;
}

namespace {

char32_t DecodeUtf8(const std::string &s, size_t *pos) {
    const unsigned char c = static_cast<unsigned char>(s[*pos]);
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t v = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    for (int i = 1; i < n && *pos + i < s.size(); ++i)
        v = (v << 6) | (static_cast<unsigned char>(s[*pos + i]) & 0x3F);
    *pos += n;
    return v;
}

struct LatinGroup {
    int group;
    const char *chars;
};
const LatinGroup kLatinGroups[] = {
    {0, "0123456789"},         {1, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"}, {2, "abcdefghijklmnopqrstuvwxyz"},
    {3, ".,;:!?'\"()[]{}-_`"}, {4, "+=*/\\@#$%&^~|<>"},
};

// The printable glyphs of a Hershey font as ink, indexed by character (empty: none).
std::vector<Ink> HersheyGlyphs(const std::string &path) {
    std::string error;
    const std::optional<inksynth::StrokeFace> face = inksynth::LoadHersheyFace(path, &error);
    if (!face)
        throw std::runtime_error("cannot read Hershey font: " + error);
    std::vector<Ink> glyphs(128);
    for (int c = 33; c < 127; ++c)
        if (const inksynth::Glyph *g = face->Find(static_cast<char>(c)))
            glyphs[c] = g->strokes;
    return glyphs;
}

void AddLatin(CharSet &set, const SourcePaths &paths, const std::vector<std::string> &fonts) {
    std::vector<std::vector<Ink>> loaded;
    for (const std::string &f : fonts)
        loaded.push_back(HersheyGlyphs(paths.hersheyDir + "/" + f + ".jhf"));
    for (const LatinGroup &g : kLatinGroups) {
        for (const char *p = g.chars; *p; ++p) {
            ClassDef c;
            c.code = static_cast<uint8_t>(*p);
            c.traditional = static_cast<uint16_t>(0xFF01 + (c.code - 0x21));  // full width
            c.simplified = c.code;
            c.group = g.group;
            for (const std::vector<Ink> &glyphs : loaded)
                if (!glyphs[static_cast<unsigned char>(*p)].empty())
                    c.drawings.push_back(glyphs[static_cast<unsigned char>(*p)]);
            if (!c.drawings.empty())
                set.classes.push_back(std::move(c));
        }
    }
}

}  // namespace

char32_t Gb2312Char(int row, int cell) {
    char in[3] = {static_cast<char>(0xA0 + row), static_cast<char>(0xA0 + cell), 0};
    char out[8] = {};
    iconv_t cd = iconv_open("UTF-8", "GB2312");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return 0;
    char *ip = in, *op = out;
    size_t il = 2, ol = sizeof out - 1;
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1))
        return 0;
    std::string s(out);
    size_t pos = 0;
    return s.empty() ? 0 : DecodeUtf8(s, &pos);
}

std::map<char32_t, char32_t> LoadOpenccMap(const std::string &path) {
    std::map<char32_t, char32_t> map;
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path + " (dump it with opencc_dict)");
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab + 1 >= line.size())
            continue;
        size_t pos = 0;
        const std::string key = line.substr(0, tab);
        const char32_t k = DecodeUtf8(key, &pos);
        if (pos != key.size())
            continue;  // phrases
        pos = tab + 1;
        const char32_t v = DecodeUtf8(line, &pos);
        if (k < 0x10000 && v < 0x10000)
            map.emplace(k, v);
    }
    return map;
}

CharSet LatinSet(const SourcePaths &paths, const std::vector<std::string> &fonts) {
    CharSet set;
    set.name = "latin";
    AddLatin(set, paths, fonts);
    return set;
}

CharSet ChineseSet(const SourcePaths &paths, const std::vector<std::string> &fonts, bool level2) {
    CharSet set;
    set.name = level2 ? "gb2312" : "gb2312-1";
    AddLatin(set, paths, fonts);
    const auto st = LoadOpenccMap(paths.openccDir + "/STCharacters.txt");
    const auto ts = LoadOpenccMap(paths.openccDir + "/TSCharacters.txt");
    const int lastRow = level2 ? 87 : 55;
    for (int row = 16; row <= lastRow; ++row) {
        for (int cell = 1; cell <= 94; ++cell) {
            const char32_t ch = Gb2312Char(row, cell);
            if (ch == 0 || ch >= 0x10000)
                continue;
            ClassDef c;
            c.code = static_cast<uint16_t>(ch);
            const auto t = st.find(ch);
            c.traditional = t != st.end() ? static_cast<uint16_t>(t->second) : c.code;
            const auto s = ts.find(ch);
            c.simplified = s != ts.end() ? static_cast<uint16_t>(s->second) : c.code;
            c.group = row <= 55 ? 6 : 7;
            Ink ink;
            if (!LoadHanziMedians(paths.hanziDir, Utf8(ch), &ink))
                continue;
            c.drawings.push_back(std::move(ink));
            set.classes.push_back(std::move(c));
        }
    }
    return set;
}

CharSet GestureSet() {
    CharSet set;
    set.name = "gesture";
    for (int i = 0; i < kGestureCount; ++i) {
        ClassDef c;
        c.code = static_cast<uint16_t>(GestureTable()[i].code);
        c.traditional = c.simplified = c.code;
        c.group = 5;
        c.gesture = true;
        c.drawings.push_back(GestureInk(c.code));
        set.classes.push_back(std::move(c));
    }
    return set;
}

}  // namespace chartrain
