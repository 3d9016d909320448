// inkgen: writes reproducible synthetic handwriting data sets and renders samples to PNG.
//
//   inkgen generate --out DIR --count N --seed S [--faces futural:1,cursive:1,...]
//                   [--words FILE] [--mix lines|words] [--hershey DIR] [--first I] [--png K]
//                   [--hand-fonts DIR]
//   inkgen show --faces NAME --seed S --index I --png OUT.png [--text "..."]
//   inkgen render IN.raw OUT.png
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "inksynth/InkPng.h"
#include "inksynth/SampleMaker.h"

using namespace inksynth;

namespace {

const char kUsage[] =
    "usage:\n"
    "  inkgen generate --out DIR --count N --seed S [--faces NAME[:WEIGHT],...]\n"
    "                  [--words FILE] [--mix lines|words] [--hershey DIR] [--first I] [--png K]\n"
    "      writes DIR/NNNNNN.raw (the kit's raw stroke data) and DIR/labels.txt;\n"
    "      --first starts at sample I (to add to a set), --png K also renders the first K\n"
    "  inkgen show --seed S --index I --png OUT.png [--faces ...] [--text TEXT]\n"
    "      renders one sample of a seed (with another text if given)\n"
    "  inkgen render IN.raw OUT.png\n"
    "  inkgen sheet --seed S --count N --png OUT.png [--first I] [--faces ...] [--text TEXT]\n"
    "      renders samples I..I+N-1 one under the other (a look at many writers at once)\n"
    "  inkgen faces      lists every face that can be had\n"
    "  every command: --long-loops P  a writer has long ascenders and descenders with chance P\n"
    "                 --rough-shapes P  a writer's letters depart far from the faces, chance P\n"
    "                 --hand-fonts DIR  the npm registry's faces (default build/handfonts)\n"
    "faces: futural (print), scripts (script letters one by one), cursive (joined); outline\n"
    "  fonts thinned to centre lines: dkg dkg-italic rufscript comicneue comicneue-italic\n"
    "  breip delphine stevehand dancingscript kristi klee kaushan yusei havana kiloji chancery\n"
    "  seto lobster; capitals only: tomson humorsans bwlearn bwmentor; and those of\n"
    "  tools/inksynth/handfonts.txt once tools/inksynth/fetch-handfonts.sh DIR has fetched them\n";

struct Args {
    std::map<std::string, std::string> named;
    std::vector<std::string> plain;
    std::string Get(const std::string &k, const std::string &def = "") const {
        auto it = named.find(k);
        return it == named.end() ? def : it->second;
    }
};

bool ParseArgs(int argc, char **argv, int from, Args &a) {
    for (int i = from; i < argc; ++i) {
        std::string s = argv[i];
        if (s.rfind("--", 0) == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "inkgen: %s needs a value\n", s.c_str());
                return false;
            }
            a.named[s.substr(2)] = argv[++i];
        } else {
            a.plain.push_back(s);
        }
    }
    return true;
}

bool ParseNumber(const std::string &text, uint64_t &out) {
    if (text.empty())
        return false;
    char *end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (*end != '\0')
        return false;
    out = v;
    return true;
}

struct Setup {
    FaceLibrary faces;
    std::vector<SampleMaker::FaceChoice> choices;
    const StrokeFace *fallback = nullptr;
    std::optional<TextSampler> texts;
    float longLoops = 0;
    float roughShapes = 0;
    explicit Setup(const Args &a)
        : faces(a.Get("hershey", "/usr/share/hershey-fonts"),
                a.Get("hand-fonts", FaceLibrary::kHandFontsDir)) {}
};

// A chance option (0 when absent); false with a message when it is not a number from 0 to 1.
bool ParseChance(const Args &a, const char *name, float &out) {
    std::string text = a.Get(name, "0");
    char *end = nullptr;
    out = std::strtof(text.c_str(), &end);
    if (*end != '\0' || !(out >= 0 && out <= 1)) {
        std::fprintf(stderr, "inkgen: --%s wants a chance from 0 to 1, not '%s'\n", name,
                     text.c_str());
        return false;
    }
    return true;
}

bool Prepare(const Args &a, Setup &s) {
    std::string err;
    std::stringstream list(a.Get("faces", "futural:1,scripts:1,cursive:1"));
    std::string item;
    while (std::getline(list, item, ',')) {
        size_t colon = item.find(':');
        float w =
            colon == std::string::npos ? 1.0f : std::strtof(item.c_str() + colon + 1, nullptr);
        const StrokeFace *f = s.faces.Get(item.substr(0, colon), &err);
        if (!f || !(w > 0)) {
            std::fprintf(stderr, "inkgen: %s\n",
                         f ? ("bad weight in " + item).c_str() : err.c_str());
            return false;
        }
        s.choices.push_back({f, w});
    }
    if (s.choices.empty()) {
        std::fprintf(stderr, "inkgen: no faces\n");
        return false;
    }
    s.fallback = s.faces.Get("futural", &err);
    if (!s.fallback) {
        std::fprintf(stderr, "inkgen: %s\n", err.c_str());
        return false;
    }
    if (!ParseChance(a, "long-loops", s.longLoops) ||
        !ParseChance(a, "rough-shapes", s.roughShapes))
        return false;
    std::string words = a.Get("words");
    if (words.empty()) {
        // Without a word list the texts are random letter strings.
        s.texts = TextSampler::FromWords({"a"}, {1}, 0.5f);
    } else {
        s.texts = TextSampler::Load(words, &err);
        if (!s.texts) {
            std::fprintf(stderr, "inkgen: %s\n", err.c_str());
            return false;
        }
    }
    return true;
}

TextMix MixFor(const Args &a) {
    TextMix mix;
    if (a.Get("mix") == "words") {
        // Dictionary words alone, as written: what the word model is measured on.
        mix.singleWord = 1;
        mix.randomLetters = mix.punctuation = mix.number = mix.upperCase = 0;
    }
    if (a.Get("words").empty())
        mix.randomLetters = 1;
    return mix;
}

int Generate(const Args &a) {
    std::string out = a.Get("out");
    uint64_t count = 0, seed = 0, first = 0, png = 0;
    if (out.empty() || !ParseNumber(a.Get("count"), count) || !ParseNumber(a.Get("seed"), seed) ||
        !ParseNumber(a.Get("first", "0"), first) || !ParseNumber(a.Get("png", "0"), png)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    Setup s(a);
    if (!Prepare(a, s))
        return 1;
    ::mkdir(out.c_str(), 0777);
    std::vector<LabelledItem> items;
    std::string err;
    if (first > 0 && !ReadLabels(out, items, &err)) {
        std::fprintf(stderr, "inkgen: %s\n", err.c_str());
        return 1;
    }
    SampleMaker maker(s.choices, s.fallback, *s.texts, MixFor(a), seed);
    maker.SetLongLoops(s.longLoops);
    maker.SetRoughShapes(s.roughShapes);
    for (uint64_t i = first; i < first + count; ++i) {
        Sample sample = maker.Make(i);
        char name[32];
        std::snprintf(name, sizeof name, "%06llu.raw", (unsigned long long)i);
        if (!WriteRawStrokeFile(out + "/" + name, sample.ink)) {
            std::fprintf(stderr, "inkgen: cannot write %s/%s\n", out.c_str(), name);
            return 1;
        }
        if (i - first < png) {
            std::string p = out + "/" + std::string(name, 6) + ".png";
            if (!WriteInkPng(p, sample.ink, PngOptions{}, &err))
                std::fprintf(stderr, "inkgen: %s\n", err.c_str());
        }
        items.push_back({name, sample.text});
        if ((i - first + 1) % 1000 == 0)
            std::fprintf(stderr, "inkgen: %llu of %llu\n", (unsigned long long)(i - first + 1),
                         (unsigned long long)count);
    }
    if (!WriteLabels(out, items, &err)) {
        std::fprintf(stderr, "inkgen: %s\n", err.c_str());
        return 1;
    }
    std::fprintf(stderr, "inkgen: %zu samples in %s\n", items.size(), out.c_str());
    return 0;
}

int Show(const Args &a) {
    uint64_t seed = 0, index = 0;
    std::string png = a.Get("png");
    if (png.empty() || !ParseNumber(a.Get("seed"), seed) ||
        !ParseNumber(a.Get("index", "0"), index)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    Setup s(a);
    if (!Prepare(a, s))
        return 1;
    SampleMaker maker(s.choices, s.fallback, *s.texts, MixFor(a), seed);
    maker.SetLongLoops(s.longLoops);
    maker.SetRoughShapes(s.roughShapes);
    std::string text = a.Get("text");
    Sample sample = text.empty() ? maker.Make(index) : maker.MakeWithText(index, text);
    std::string err;
    PngOptions o;
    o.markPoints = true;
    if (!WriteInkPng(png, sample.ink, o, &err)) {
        std::fprintf(stderr, "inkgen: %s\n", err.c_str());
        return 1;
    }
    std::printf("%s\t%s\t%s\n", sample.text.c_str(), sample.face.c_str(),
                sample.style.Describe().c_str());
    return 0;
}

int Sheet(const Args &a) {
    uint64_t seed = 0, count = 0, first = 0;
    std::string png = a.Get("png");
    if (png.empty() || !ParseNumber(a.Get("seed"), seed) || !ParseNumber(a.Get("count"), count) ||
        !ParseNumber(a.Get("first", "0"), first)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    Setup s(a);
    if (!Prepare(a, s))
        return 1;
    SampleMaker maker(s.choices, s.fallback, *s.texts, MixFor(a), seed);
    maker.SetLongLoops(s.longLoops);
    maker.SetRoughShapes(s.roughShapes);
    std::string text = a.Get("text");
    Ink sheet;
    float y = 0;
    for (uint64_t i = first; i < first + count; ++i) {
        Sample sample = text.empty() ? maker.Make(i) : maker.MakeWithText(i, text);
        // Each writing scaled to a common height so that small and large writers compare.
        Box b = BoundsOf(sample.ink);
        float k = b.Height() > 0 ? 60.0f / std::max(b.Height(), 20.0f) : 1.0f;
        for (Stroke &st : sample.ink.strokes) {
            for (Point &p : st)
                p = {(p.x - b.minX) * k, (p.y - b.minY) * k + y};
            sheet.strokes.push_back(std::move(st));
        }
        y += std::max(b.Height(), 20.0f) * k + 16;
        std::printf("%llu\t%s\t%s\n", (unsigned long long)i, sample.text.c_str(),
                    sample.face.c_str());
    }
    std::string err;
    if (!WriteInkPng(png, sheet, PngOptions{}, &err)) {
        std::fprintf(stderr, "inkgen: %s\n", err.c_str());
        return 1;
    }
    return 0;
}

int Render(const Args &a) {
    if (a.plain.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    Ink ink;
    std::string err;
    if (!ReadRawStrokeFile(a.plain[0], ink, &err) ||
        !WriteInkPng(a.plain[1], ink, PngOptions{}, &err)) {
        std::fprintf(stderr, "inkgen: %s\n", err.c_str());
        return 1;
    }
    return 0;
}

// Every face by name, with whether it loads: a face of a missing package or an unfetched npm
// face says why.
int Faces(const Args &a) {
    Setup s(a);
    int missing = 0;
    for (const std::string &name : s.faces.KnownNames()) {
        std::string err;
        const StrokeFace *f = s.faces.Get(name, &err);
        if (f)
            std::printf("%s%s\n", name.c_str(), f->capitalsOnly ? "\tcapitals" : "");
        else
            std::printf("%s\tmissing: %s\n", name.c_str(), err.c_str());
        missing += !f;
    }
    return missing ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv) {
    Args a;
    if (argc < 2 || !ParseArgs(argc, argv, 2, a)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string cmd = argv[1];
    if (cmd == "generate")
        return Generate(a);
    if (cmd == "show")
        return Show(a);
    if (cmd == "render")
        return Render(a);
    if (cmd == "sheet")
        return Sheet(a);
    if (cmd == "faces")
        return Faces(a);
    std::fputs(kUsage, stderr);
    return 2;
}
