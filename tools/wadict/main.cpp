// wadict: builds the association dictionaries from a word-frequency list, one "word frequency
// [tag]" line per word (the format of the jieba segmenter's dict.txt).
//
//   wadict [--min-freq N] [--key TEXT] [--prefix P] SOURCE OUTDIR
//
// writes OUTDIR/<P>wa.system.dct (keyed when --key is given) and OUTDIR/<P>wa.user.dct (the empty
// ring that seeds every new user dictionary), then loads the system dictionary back through the
// engine and prints sample continuations.
//
// Equal frequencies are common in such lists (jieba gives a third of its words the minimum, 3).
// The engine ranks equal scores by the order in which it met them, which would put equal words
// in code-unit order and make every association shuffle long runs of equal scores. So the
// builder tells them apart: among the words that share their first character and frequency,
// shorter words rank first, then code-unit order. Frequencies are scaled by the largest factor
// that keeps them in 31 bits, and the rank fills the room below.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TextCodec.h"
#include "WaDictWriter.h"
#include "iWWA.h"

namespace {

struct Options {
    uint32_t minFrequency = 3;
    std::string key;
    std::string prefix;
    std::string source;
    std::string outDir;
};

int Usage() {
    std::cerr << "usage: wadict [--min-freq N] [--key TEXT] [--prefix P] SOURCE OUTDIR\n"
                 "  SOURCE  word-frequency list, one \"word frequency [tag]\" line per word\n"
                 "  OUTDIR  where <P>wa.system.dct and <P>wa.user.dct are written\n"
                 "  --min-freq N  keep words of frequency N or more (default 3)\n"
                 "  --key TEXT    store the records scrambled with this key text\n";
    return 2;
}

bool ParseArgs(int argc, char **argv, Options *o) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string *out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--min-freq") {
            char *end = nullptr;
            if (!value(&v))
                return false;
            const unsigned long n = std::strtoul(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n > 0x7fffffff)
                return false;
            o->minFrequency = static_cast<uint32_t>(n);
        } else if (a == "--key") {
            if (!value(&o->key) || o->key.empty() || o->key.size() > 98)
                return false;
        } else if (a == "--prefix") {
            if (!value(&o->prefix))
                return false;
        } else if (a.size() > 1 && a[0] == '-') {
            return false;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2)
        return false;
    o->source = positional[0];
    o->outDir = positional[1];
    return true;
}

// Han characters: the unified ideographs with their extensions and the compatibility block.
bool IsHan(char32_t c) {
    return (c >= 0x3400 && c <= 0x4dbf) || (c >= 0x4e00 && c <= 0x9fff) ||
           (c >= 0xf900 && c <= 0xfaff) || (c >= 0x20000 && c <= 0x3134f) || c == 0x3007;
}

bool AllHan(const std::u16string &w) {
    for (size_t i = 0; i < w.size(); ++i) {
        char32_t c = w[i];
        if (c >= 0xd800 && c <= 0xdbff && i + 1 < w.size())
            c = 0x10000 + ((c - 0xd800) << 10) + (w[++i] - 0xdc00);
        if (!IsHan(c))
            return false;
    }
    return true;
}

bool WriteFile(const std::string &path, const wadict::Bytes &bytes) {
    // A new file renamed over the old one: an interrupted build never leaves half a dictionary.
    const std::string tmp = path + ".tmp";
    std::FILE *f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        std::cerr << "wadict: cannot create " << tmp << ": " << std::strerror(errno) << "\n";
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::cerr << "wadict: cannot write " << path << ": " << std::strerror(errno) << "\n";
        std::remove(tmp.c_str());
        return false;
    }
    std::cerr << "wadict: wrote " << path << " (" << bytes.size() << " bytes)\n";
    return true;
}

// Makes equal frequencies distinct as described above; returns the scale factor.
uint32_t BreakTies(std::vector<wadict::Word> &words) {
    uint64_t top = 0;
    for (const wadict::Word &w : words)
        top = std::max<uint64_t>(top, w.frequency);
    const uint64_t scale = std::min<uint64_t>(0x7fffffffull / (top + 1), 65536);
    std::map<std::pair<char16_t, uint32_t>, std::vector<wadict::Word *>> groups;
    for (wadict::Word &w : words)
        groups[{w.text[0], w.frequency}].push_back(&w);
    for (auto &[key, group] : groups) {
        std::sort(group.begin(), group.end(), [](const wadict::Word *a, const wadict::Word *b) {
            return a->text.size() != b->text.size() ? a->text.size() < b->text.size()
                                                    : a->text < b->text;
        });
        for (size_t i = 0; i < group.size(); ++i) {
            const uint64_t rank = std::min<uint64_t>(i, scale - 1);
            group[i]->frequency = static_cast<uint32_t>(key.second * scale + (scale - 1 - rank));
        }
    }
    return static_cast<uint32_t>(scale);
}

void Collect(void *user, const iWWA_Char *text, uint32_t length) {
    auto *out = static_cast<std::vector<std::string> *>(user);
    out->push_back(
        wa::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t *>(text), length)));
}

// Loads the dictionary back through the engine, as the plug-in will, and shows what a user gets.
bool Check(wadict::Bytes system, const wadict::Bytes &user) {
    uint32_t size = 0;
    int rc = iWWA_GetEngineSize(system.data(), static_cast<uint32_t>(system.size()), user.data(),
                                static_cast<uint32_t>(user.size()), &size);
    std::vector<uint64_t> engineMem((size + 7) / 8);
    iWWA_Engine *engine = nullptr;
    if (rc == iWWA_OK)
        rc = iWWA_Init(system.data(), static_cast<uint32_t>(system.size()), user.data(),
                       static_cast<uint32_t>(user.size()), engineMem.data(), size, &engine);
    if (rc != iWWA_OK) {
        std::cerr << "wadict: check: the engine refuses the dictionary (" << rc << ")\n";
        return false;
    }
    iWWA_Session_GetSize(engine, &size);
    std::vector<uint64_t> sessionMem((size + 15) / 8 + 2);
    void *aligned = reinterpret_cast<void *>((reinterpret_cast<uintptr_t>(sessionMem.data()) + 15) &
                                             ~uintptr_t{15});
    iWWA_Session *session = nullptr;
    rc = iWWA_Session_Init(engine, aligned, size, &session);
    if (rc != iWWA_OK) {
        std::cerr << "wadict: check: no session (" << rc << ")\n";
        return false;
    }
    std::vector<std::string> got;
    const int32_t eight = 8;
    iWWA_Session_SetParam(session, iWWA_PARAM_CANDNUM, &eight);
    iWWA_Session_SetParam(session, iWWA_PARAM_CALLBACK, reinterpret_cast<const void *>(&Collect));
    iWWA_Session_SetParam(session, iWWA_PARAM_USERDATA, &got);
    for (const char *sample : {"中", "今天", "我们"}) {
        std::u16string t;
        wa::Utf8ToUtf16(sample, &t);
        got.clear();
        iWWA_Session_Associate(session, reinterpret_cast<const iWWA_Char *>(t.c_str()), 0);
        std::cerr << "wadict: check: " << sample << " ->";
        for (const std::string &g : got)
            std::cerr << " " << g;
        std::cerr << "\n";
    }
    iWWA_Session_Uninit(&session);
    iWWA_Uninit(&engine);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    if (!ParseArgs(argc, argv, &o))
        return Usage();
    const auto started = std::chrono::steady_clock::now();

    std::ifstream in(o.source, std::ios::binary);
    if (!in) {
        std::cerr << "wadict: cannot open " << o.source << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    std::cerr << "wadict: reading " << o.source << "\n";
    std::vector<wadict::Word> words;
    size_t lines = 0, malformed = 0, notHan = 0, rare = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (++lines % 100000 == 0)
            std::cerr << "wadict:   " << lines << " lines\n";
        std::istringstream fields(line);
        std::string word, freq;
        fields >> word >> freq;
        char *end = nullptr;
        const unsigned long long f = std::strtoull(freq.c_str(), &end, 10);
        wadict::Word w;
        if (word.empty() || freq.empty() || *end != '\0' || !wa::Utf8ToUtf16(word, &w.text) ||
            w.text.size() > 256) {
            ++malformed;
            continue;
        }
        if (!AllHan(w.text)) {
            ++notHan;
            continue;
        }
        if (f < o.minFrequency) {
            ++rare;
            continue;
        }
        w.frequency = f > 0x7fffffffull ? 0x7fffffffu : static_cast<uint32_t>(f);
        words.push_back(std::move(w));
    }
    std::cerr << "wadict: " << lines << " lines: " << words.size() << " words kept, " << rare
              << " below frequency " << o.minFrequency << ", " << notHan << " not Chinese, "
              << malformed << " malformed\n";
    if (words.empty()) {
        std::cerr << "wadict: no words to write\n";
        return 1;
    }

    // The same word twice keeps its higher frequency, before the ties are broken.
    std::sort(words.begin(), words.end(), [](const wadict::Word &a, const wadict::Word &b) {
        return a.text != b.text ? a.text < b.text : a.frequency > b.frequency;
    });
    words.erase(
        std::unique(words.begin(), words.end(),
                    [](const wadict::Word &a, const wadict::Word &b) { return a.text == b.text; }),
        words.end());
    const uint32_t scale = BreakTies(words);
    std::cerr << "wadict: frequencies scaled by " << scale
              << ", equal ones ranked by length within their first character\n";
    std::cerr << "wadict: building the trie\n";
    wadict::SystemDictOptions options;
    options.key = o.key;
    wadict::TrieStats stats;
    const wadict::Bytes system = wadict::BuildSystemDict(std::move(words), options, &stats);
    std::cerr << "wadict: trie of " << stats.words << " words: " << stats.nodes << " nodes, "
              << stats.entries << " entries, " << stats.bytes << " bytes"
              << (o.key.empty() ? "" : ", records keyed") << "\n";
    const wadict::Bytes user = wadict::BuildUserDict({});

    const std::string base = o.outDir + "/" + o.prefix;
    if (!WriteFile(base + "wa.system.dct", system) || !WriteFile(base + "wa.user.dct", user))
        return 1;
    if (!Check(system, user))
        return 1;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    std::cerr << "wadict: done in " << ms << " ms\n";
    return 0;
}
