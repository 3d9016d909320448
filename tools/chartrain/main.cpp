// chartrain: builds the character-engine dictionaries of the local plug-in from synthetic
// handwriting. See tools/chartrain/README.md for the commands that made the shipped files.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "CharSets.h"
#include "DictionaryTrainer.h"
#include "SampleStore.h"
#include "inksynth/SampleMaker.h"

using namespace chartrain;

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: chartrain build --set latin|chinese|chinese-all|gesture --out FILE\n"
                 "         [--work DIR] [--seed N] [--train N] [--test N] [--calib N]\n"
                 "         [--dim 32|64|96] [--records N] [--prototypes N] [--eigen N]\n"
                 "         [--hanzi DIR] [--opencc DIR] [--hershey DIR] [--report FILE]\n"
                 "       chartrain samples --set ... (--out FILE | --labels DIR) [--per-class N]\n"
                 "         [--seed N] [--strength X] [--fonts F,F]   held-out writing: one sample "
                 "a line in\n"
                 "         FILE (benchmarks), or DIR/NNNNNN.raw stroke files and DIR/labels.txt\n"
                 "         (hwr eval); a gesture's label is its number, code - 1\n");
}

struct Args {
    std::map<std::string, std::string> v;
    std::string Get(const std::string &k, const std::string &def) const {
        auto it = v.find(k);
        return it == v.end() ? def : it->second;
    }
    int Int(const std::string &k, int def) const { return std::stoi(Get(k, std::to_string(def))); }
};

CharSet MakeSet(const std::string &name, const SourcePaths &paths,
                const std::vector<std::string> &fonts) {
    if (name == "latin")
        return LatinSet(paths, fonts);
    if (name == "chinese")
        return ChineseSet(paths, fonts, false);
    if (name == "chinese-all")
        return ChineseSet(paths, fonts, true);
    if (name == "gesture")
        return GestureSet();
    throw std::invalid_argument("unknown set " + name);
}

// Drawings of the held-out font for the Latin classes of a set.
std::vector<std::vector<Ink>> HeldOutDrawings(const CharSet &set, const SourcePaths &paths) {
    const CharSet heldOut = LatinSet(paths, {HeldOutFont()});
    std::map<uint16_t, const ClassDef *> byCode;
    for (const ClassDef &c : heldOut.classes)
        byCode[c.code] = &c;
    std::vector<std::vector<Ink>> out(set.classes.size());
    for (size_t i = 0; i < set.classes.size(); ++i) {
        auto it = byCode.find(set.classes[i].code);
        if (it != byCode.end() && set.classes[i].code < 128)
            out[i] = it->second->drawings;
    }
    return out;
}

int Build(const Args &a) {
    SourcePaths paths;
    paths.hanziDir = a.Get("hanzi", paths.hanziDir);
    paths.openccDir = a.Get("opencc", paths.openccDir);
    paths.hersheyDir = a.Get("hershey", paths.hersheyDir);
    const std::string setName = a.Get("set", "");
    const std::string out = a.Get("out", "");
    if (setName.empty() || out.empty()) {
        Usage();
        return 2;
    }
    const std::string work = a.Get("work", ".cache/chartrain/" + setName);
    std::filesystem::create_directories(work);
    const CharSet set = MakeSet(setName, paths, TrainingFonts());
    const bool gestures = setName == "gesture";
    std::fprintf(stderr, "set %s: %zu classes\n", setName.c_str(), set.classes.size());

    const uint64_t seed = static_cast<uint64_t>(a.Int("seed", 1));
    SampleSpec trainSpec;
    trainSpec.perClass = a.Int("train", 20);
    trainSpec.seed = seed;
    trainSpec.strength = 1.0;
    SampleSpec calibSpec;
    calibSpec.perClass = a.Int("calib", 2);
    calibSpec.seed = seed + 1000;
    calibSpec.keepInk = true;
    calibSpec.keepFeatures = false;
    SampleSpec testSpec;
    testSpec.perClass = a.Int("test", 4);
    testSpec.seed = seed + 2000;
    testSpec.strength = 1.25;
    testSpec.keepInk = true;
    testSpec.keepFeatures = false;
    SampleSpec unseenSpec = testSpec;
    unseenSpec.seed = seed + 3000;
    if (!gestures)
        unseenSpec.drawingsOverride = HeldOutDrawings(set, paths);

    const Samples train = BuildSamples(set, trainSpec, work + "/train.samples");
    const Samples calib = BuildSamples(set, calibSpec, work + "/calib.samples");
    const Samples test = BuildSamples(set, testSpec, work + "/test.samples");

    TrainOptions opt;
    opt.dim = a.Int("dim", 96);
    opt.eigen = a.Int("eigen", 5);
    opt.maxRecords = a.Int("records", 1);
    opt.prototypes = a.Int("prototypes", 3);
    opt.seed = seed;
    opt.workDir = work;
    const std::vector<uint8_t> dict = TrainDictionary(set, train, calib, trainSpec, opt);
    {
        std::ofstream f(out, std::ios::binary);
        f.write(reinterpret_cast<const char *>(dict.data()),
                static_cast<std::streamsize>(dict.size()));
        if (!f)
            throw std::runtime_error("cannot write " + out);
    }
    std::fprintf(stderr, "wrote %s (%zu bytes)\n", out.c_str(), dict.size());

    std::string report;
    auto line = [&report](const char *what, const EvalResult &r) {
        char buf[256];
        std::snprintf(buf, sizeof buf,
                      "%s: %zu samples, top-1 %.2f%%, top-10 %.2f%%, case-only errors %zu, "
                      "%.0f chars/s\n",
                      what, r.samples, 100.0 * r.top1 / std::max<size_t>(r.samples, 1),
                      100.0 * r.top10 / std::max<size_t>(r.samples, 1), r.caseOnly,
                      r.samples / std::max(r.seconds, 1e-9));
        report += buf;
        std::fputs(buf, stdout);
    };
    line("held-out writers", Evaluate(dict, set, test, 0, gestures));
    if (!gestures && setName == "latin") {
        const Samples unseen = BuildSamples(set, unseenSpec, work + "/unseen.samples");
        line("held-out font (unseen style)", Evaluate(dict, set, unseen, 0, gestures));
    }
    const std::string reportPath = a.Get("report", "");
    if (!reportPath.empty()) {
        std::ofstream r(reportPath);
        r << report;
    }
    return 0;
}

int WriteSamples(const Args &a) {
    SourcePaths paths;
    paths.hanziDir = a.Get("hanzi", paths.hanziDir);
    paths.openccDir = a.Get("opencc", paths.openccDir);
    paths.hersheyDir = a.Get("hershey", paths.hersheyDir);
    // --fonts a,b: Latin drawn from other Hershey fonts (the held-out "cursive", say).
    std::vector<std::string> fonts;
    std::istringstream list(a.Get("fonts", ""));
    for (std::string f; std::getline(list, f, ',');)
        if (!f.empty())
            fonts.push_back(f);
    const CharSet set = MakeSet(a.Get("set", ""), paths, fonts.empty() ? TrainingFonts() : fonts);
    SampleSpec spec;
    spec.perClass = a.Int("per-class", 1);
    spec.seed = static_cast<uint64_t>(a.Int("seed", 9001));
    spec.strength = std::stod(a.Get("strength", "1.25"));
    spec.keepInk = true;
    spec.keepFeatures = false;
    const std::string out = a.Get("out", ""), labels = a.Get("labels", "");
    if (out.empty() == labels.empty()) {
        Usage();
        return 2;
    }
    const std::string store = (out.empty() ? labels + "/samples" : out) + ".tmp";
    if (!labels.empty())
        std::filesystem::create_directories(labels);
    const Samples s = BuildSamples(set, spec, store, 0);
    std::filesystem::remove(store);
    if (!labels.empty()) {
        // A set for `hwr eval`: the kit's raw stroke data beside the labels.
        std::vector<inksynth::LabelledItem> items;
        for (size_t n = 0; n < s.size(); ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "%06zu.raw", n);
            std::ofstream f(labels + "/" + name, std::ios::binary);
            for (int16_t v : s.pairs[n]) {  // little-endian, as vra_hwr_recog takes it
                const uint16_t u = static_cast<uint16_t>(v);
                f.put(static_cast<char>(u & 0xFF)).put(static_cast<char>(u >> 8));
            }
            if (!f)
                throw std::runtime_error("cannot write " + labels + "/" + name);
            const ClassDef &c = set.classes[s.cls[n]];
            items.push_back({name, c.gesture ? std::to_string(c.code - 1) : Utf8(c.code)});
        }
        std::string error;
        if (!inksynth::WriteLabels(labels, items, &error))
            throw std::runtime_error(error);
        std::fprintf(stderr, "wrote %zu samples to %s\n", s.size(), labels.c_str());
        return 0;
    }
    // Text: one sample a line, "U+XXXX x,y x,y ... | x,y ..." with strokes separated by "|".
    std::ofstream f(out);
    for (size_t n = 0; n < s.size(); ++n) {
        char head[16];
        std::snprintf(head, sizeof head, "U+%04X", set.classes[s.cls[n]].code);
        f << head;
        const auto &p = s.pairs[n];
        for (size_t i = 0; i + 1 < p.size(); i += 2) {
            if (p[i] == -1 && p[i + 1] == -1)
                break;
            if (p[i] == -1 && p[i + 1] == 0)
                f << " |";
            else
                f << ' ' << p[i] << ',' << p[i + 1];
        }
        f << '\n';
    }
    std::fprintf(stderr, "wrote %zu samples to %s\n", s.size(), out.c_str());
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        Usage();
        return 2;
    }
    Args a;
    for (int i = 2; i < argc; ++i) {
        std::string k = argv[i];
        if (k.rfind("--", 0) != 0 || i + 1 >= argc) {
            Usage();
            return 2;
        }
        a.v[k.substr(2)] = argv[++i];
    }
    try {
        const std::string cmd = argv[1];
        if (cmd == "build")
            return Build(a);
        if (cmd == "samples")
            return WriteSamples(a);
        Usage();
        return 2;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "chartrain: %s\n", e.what());
        return 1;
    }
}
