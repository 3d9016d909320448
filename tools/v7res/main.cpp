// v7res: builds the resource files of the V7 free-writing recogniser.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "NgramEstimator.h"
#include "ResourceBuilder.h"
#include "SectionedResource.h"
#include "WeightFile.h"
#include "WeightTable.h"

namespace {

const char *kUsage =
    "usage:\n"
    "  v7res main --out FILE (--weights FILE | --random SEED) [--output-scale F]\n"
    "             [--set NAME=VALUE]...\n"
    "      english.main.dct: engine configuration and network weights. The weight file is the\n"
    "      raw weight section (3429872 bytes) or text lines \"NAME COUNT V1 .. VCOUNT\".\n"
    "      --output-scale multiplies the output layer's weights and biases by F (0 < F <= 1):\n"
    "      below 1 it flattens the network's probabilities, so that more labels pass the\n"
    "      decoder's 0.1 threshold and the word model has more strings to choose from; the\n"
    "      most likely label of every frame stays what it was.\n"
    "      Settings: candidates splitmode width param3 beam span weight\n"
    "  v7res additional --out FILE --words FILE [--letters-only] [--ngrams FILE]\n"
    "                   [--order N] [--set NAME=VALUE]...\n"
    "      english.additional.dct: word-pass configuration and word model. --ngrams holds\n"
    "      \"w1 .. wn COUNT\" lines (with <s> and </s>); without it every word is equally\n"
    "      likely. Settings: beam span weight order lookahead lookaheadcost modelweight\n"
    "  v7res wordlist --out FILE --words FILE\n"
    "      a word-list resource (allowed, excluded, required or forbidden words)\n"
    "  v7res weights --out FILE --random SEED\n"
    "      a binary weight file of the deterministic random network\n"
    "  v7res info FILE\n"
    "      the sections of a resource\n";

bool ReadFile(const std::string &path, std::string *out) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    out->assign((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFile(const std::string &path, const void *data, size_t size) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(static_cast<const char *>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(f);
}

int Fail(const std::string &message) {
    std::fprintf(stderr, "v7res: %s\n", message.c_str());
    return 1;
}

struct Args {
    std::string command, out, weights, words, ngrams, file;
    bool random = false, lettersOnly = false;
    unsigned seed = 0;
    int order = 0;
    float outputScale = 1;
    std::vector<std::string> sets;
};

bool Parse(int argc, char **argv, Args *a, std::string *error) {
    if (argc < 2)
        return false;
    a->command = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string *v) {
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return false;
            }
            *v = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--out") {
            if (!value(&a->out))
                return false;
        } else if (arg == "--weights") {
            if (!value(&a->weights))
                return false;
        } else if (arg == "--words") {
            if (!value(&a->words))
                return false;
        } else if (arg == "--ngrams") {
            if (!value(&a->ngrams))
                return false;
        } else if (arg == "--letters-only") {
            a->lettersOnly = true;
        } else if (arg == "--random" || arg == "--order") {
            if (!value(&v))
                return false;
            char *end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (*end != 0 || n < 0) {
                *error = arg + " needs a non-negative number";
                return false;
            }
            if (arg == "--random") {
                a->random = true;
                a->seed = static_cast<unsigned>(n);
            } else {
                a->order = static_cast<int>(n);
            }
        } else if (arg == "--output-scale") {
            if (!value(&v))
                return false;
            char *end = nullptr;
            a->outputScale = std::strtof(v.c_str(), &end);
            if (*end != 0 || !(a->outputScale > 0 && a->outputScale <= 1)) {
                *error = "--output-scale needs a number above 0 and at most 1";
                return false;
            }
        } else if (arg == "--set") {
            if (!value(&v))
                return false;
            a->sets.push_back(v);
        } else if (arg[0] != '-' && a->file.empty()) {
            a->file = arg;
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

int Main(const Args &a) {
    std::string error;
    if (a.command == "info") {
        std::string bytes;
        if (a.file.empty() || !ReadFile(a.file, &bytes))
            return Fail("cannot read " + a.file);
        if (!v7::SectionedResource::IsValid(bytes.data(), bytes.size()))
            return Fail(a.file + ": not a valid sectioned resource (format, length or checksum)");
        std::printf("%s: key \"%s\"\n", a.file.c_str(),
                    v7::SectionedResource::Key(bytes.data()).c_str());
        const unsigned char *data;
        uint32_t length;
        for (int i = 0;
             v7::SectionedResource::Section(bytes.data(), bytes.size(), i, &data, &length); ++i)
            std::printf("  section %d: %u bytes\n", i, length);
        return 0;
    }
    if (a.out.empty())
        return Fail("--out is required");
    std::vector<unsigned char> out;
    if (a.command == "main" || a.command == "weights") {
        std::vector<float> section;
        if (a.random == !a.weights.empty())
            return Fail("give either --weights or --random");
        if (a.random)
            section = v7res::RandomWeightSection(a.seed);
        else if (!v7res::ReadWeightFile(a.weights, &section, &error))
            return Fail(error);
        v7res::ScaleOutputLayer(&section, a.outputScale);
        if (a.command == "weights") {
            if (!WriteFile(a.out, section.data(), section.size() * 4))
                return Fail("cannot write " + a.out);
            return 0;
        }
        v7res::MainSettings s;
        for (const auto &item : a.sets)
            if (!v7res::ApplySetting(&s, item, &error))
                return Fail(error);
        out = v7res::BuildMainResource(s, section);
    } else if (a.command == "additional" || a.command == "wordlist") {
        std::string text;
        if (a.words.empty() || !ReadFile(a.words, &text))
            return Fail("cannot read the word list '" + a.words + "'");
        std::vector<std::u16string> words = v7res::ReadWords(text, a.lettersOnly);
        if (words.empty())
            return Fail(a.words + " holds no words");
        if (a.command == "wordlist") {
            out = v7res::BuildWordListResource(words);
        } else {
            v7res::WordPassSettings s;
            for (const auto &item : a.sets)
                if (!v7res::ApplySetting(&s, item, &error))
                    return Fail(error);
            const int order = a.order ? a.order : (a.ngrams.empty() ? 1 : 3);
            if (order < 1 || order > v7::kMaxNgramOrder)
                return Fail("--order must be 1..9");
            std::sort(words.begin(), words.end());
            words.erase(std::unique(words.begin(), words.end()), words.end());
            std::map<std::vector<uint32_t>, uint64_t> counts;
            if (!a.ngrams.empty()) {
                std::string ngramText;
                if (!ReadFile(a.ngrams, &ngramText))
                    return Fail("cannot read " + a.ngrams);
                if (!v7res::ReadNgramCounts(ngramText, words, order, &counts, &error))
                    return Fail(a.ngrams + ": " + error);
            }
            out = v7res::BuildAdditionalResource(s, words, order, counts);
            if (out.empty())
                return Fail("the word model could not be built");
        }
    } else {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!WriteFile(a.out, out.data(), out.size()))
        return Fail("cannot write " + a.out);
    std::fprintf(stderr, "v7res: wrote %s (%zu bytes)\n", a.out.c_str(), out.size());
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    Args a;
    std::string error;
    if (!Parse(argc, argv, &a, &error)) {
        if (!error.empty())
            std::fprintf(stderr, "v7res: %s\n", error.c_str());
        std::fputs(kUsage, stderr);
        return 2;
    }
    return Main(a);
}
