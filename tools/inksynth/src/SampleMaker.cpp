#include "inksynth/SampleMaker.h"

#include <fstream>
#include <sstream>

#include "inksynth/Hand.h"
#include "inksynth/OutlineFace.h"
#include "inksynth/TextComposer.h"

namespace inksynth {

namespace {

struct FaceSource {
    const char *name;
    const char *file;
    bool joined;
    bool capitalsOnly = false;
};

constexpr FaceSource kHersheyFaces[] = {
    {"futural", "futural.jhf", false},
    {"scripts", "scripts.jhf", false},
    {"cursive", "cursive.jhf", true},
};

// Handwriting outline fonts of Debian's font packages, under the fonts folder. Faces whose
// lower case are small capitals serve capitals only; outlined letters or hairlines that break
// when thinned (femkeklaver, Ecolier, some of the BecauseWe faces) are left out: their centre
// lines would teach wrong shapes. So are TypoScript (no usable metrics) and Leckerli One (too
// bold: its thinned bowls come out as other letters).
constexpr FaceSource kOutlineFaces[] = {
    {"dkg", "truetype/fifthhorseman/dkg.ttf", false},  // fonts-dkg-handwriting
    {"dkg-italic", "truetype/fifthhorseman/dkgIt.ttf", false},
    {"rufscript", "truetype/rufscript/Rufscript010.ttf", false},        // fonts-rufscript
    {"comicneue", "opentype/comic-neue/ComicNeue-Regular.otf", false},  // fonts-comic-neue
    {"comicneue-italic", "opentype/comic-neue/ComicNeue-Italic.otf", false},
    {"breip", "truetype/breip/Breip.ttf", false},          // fonts-breip
    {"delphine", "truetype/sjfonts/Delphine.ttf", false},  // fonts-sjfonts
    {"stevehand", "truetype/sjfonts/SteveHand.ttf", false},
    {"dancingscript", "opentype/dancingscript/DancingScript-Regular.otf",
     false},                                                                 // fonts-dancingscript
    {"kristi", "truetype/kristi/Kristi.ttf", false},                         // fonts-kristi
    {"klee", "truetype/klee/KleeOne-Regular.ttf", false},                    // fonts-klee
    {"kaushan", "opentype/kaushanscript/KaushanScript-Regular.otf", false},  // fonts-kaushanscript
    {"yusei", "truetype/yusei-magic/YuseiMagic-Regular.ttf", false},         // fonts-yusei-magic
    {"havana", "opentype/havana/Havana-Regular.otf", false},                 // fonts-havana
    {"kiloji", "truetype/kiloji/kiloji.ttf", false},                         // fonts-kiloji
    {"chancery", "opentype/urw-base35/Z003-MediumItalic.otf", false},        // fonts-urw-base35
    {"seto", "truetype/seto/setofont.ttf", false},                           // fonts-seto
    {"lobster", "opentype/lobster/lobster.otf", false},                      // fonts-lobster
    {"tomson", "truetype/tomsontalks/TomsonTalks.ttf", false, true},         // fonts-tomsontalks
    {"humorsans", "truetype/humor-sans/Humor-Sans.ttf", false, true},        // fonts-humor-sans
    {"bwlearn", "opentype/bwht/BecauseWeLearn-Regular.otf", false, true},    // fonts-bwht
    {"bwmentor", "opentype/bwht/BecauseWeMentor-Regular.otf", false, true},
};

// Rendering size of outline glyphs: fine enough for the thinning to keep thin strokes whole.
constexpr int kOutlinePixels = 72;

// SplitMix64 step: spreads (seed, index) over the generator's whole state space.
uint64_t Mix(uint64_t x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

}  // namespace

std::vector<FaceLibrary::HandFont> FaceLibrary::HandFonts() const {
    std::vector<HandFont> fonts;
    std::ifstream in(handFontsDir_ + "/handfonts.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string name, flag;
        if (words >> name)
            fonts.push_back({name, words >> flag && flag == "capitals"});
    }
    return fonts;
}

std::vector<std::string> FaceLibrary::KnownNames() const {
    std::vector<std::string> names;
    for (const FaceSource &f : kHersheyFaces)
        names.push_back(f.name);
    for (const FaceSource &f : kOutlineFaces)
        names.push_back(f.name);
    for (const HandFont &f : HandFonts())
        names.push_back(f.name);
    return names;
}

const StrokeFace *FaceLibrary::LoadOutline(const std::string &name, const std::string &path,
                                           bool capitalsOnly, std::string *error) {
    auto face = LoadOutlineFace(path, kOutlinePixels, error);
    if (!face)
        return nullptr;
    face->name = name;
    face->capitalsOnly = capitalsOnly;
    faces_.push_back(std::make_unique<StrokeFace>(std::move(*face)));
    return faces_.back().get();
}

const StrokeFace *FaceLibrary::Get(const std::string &name, std::string *error) {
    for (const auto &f : faces_)
        if (f->name == name)
            return f.get();
    for (const FaceSource &src : kHersheyFaces) {
        if (name != src.name)
            continue;
        auto face = LoadHersheyFace(hersheyDir_ + "/" + src.file, error);
        if (!face)
            return nullptr;
        face->name = name;
        face->joined = src.joined;
        faces_.push_back(std::make_unique<StrokeFace>(std::move(*face)));
        return faces_.back().get();
    }
    for (const FaceSource &src : kOutlineFaces)
        if (name == src.name)
            return LoadOutline(name, fontsDir_ + "/" + src.file, src.capitalsOnly, error);
    for (const HandFont &f : HandFonts())
        if (name == f.name)
            return LoadOutline(name, handFontsDir_ + "/" + name + ".woff", f.capitalsOnly, error);
    if (error)
        *error = "unknown face '" + name +
                 "' (faces of the npm registry come with "
                 "tools/inksynth/fetch-handfonts.sh " +
                 handFontsDir_ + ")";
    return nullptr;
}

Sample SampleMaker::Build(uint64_t index, const std::string *text, const TextMix &mix) const {
    Random rng(Mix(Mix(seed_) ^ index));
    Sample s;
    s.style = WriterStyle::Draw(rng);
    if (longLoops_ > 0) {
        Random loops(Mix(Mix(seed_ ^ 0x6c6f6f7073ULL) ^ index));
        if (loops.Chance(longLoops_))
            s.style.LengthenLoops(loops);
    }
    if (roughShapes_ > 0) {
        Random rough(Mix(Mix(seed_ ^ 0x726f756768ULL) ^ index));
        if (rough.Chance(roughShapes_))
            s.style.RoughenShapes(rough);
    }
    std::vector<Hand::Source> sources;
    for (const FaceChoice &f : faces_)
        sources.push_back({f.face, f.weight});
    Hand hand = Hand::Draw(sources, fallback_, s.style, rng);
    s.text = text ? *text : texts_.Text(rng, mix);
    s.face = hand.name();
    s.ink = TextComposer(hand).Write(s.text, s.style, rng);
    return s;
}

Sample SampleMaker::Make(uint64_t index) const {
    return Build(index, nullptr, mix_);
}

Sample SampleMaker::Make(uint64_t index, const TextMix &mix) const {
    return Build(index, nullptr, mix);
}

Sample SampleMaker::MakeWithText(uint64_t index, const std::string &text) const {
    return Build(index, &text, mix_);
}

bool WriteLabels(const std::string &dir, const std::vector<LabelledItem> &items,
                 std::string *error) {
    std::string path = dir + "/labels.txt";
    std::ofstream out(path, std::ios::trunc);
    for (const LabelledItem &it : items)
        out << it.file << '\t' << it.text << '\n';
    if (!out.flush()) {
        if (error)
            *error = "cannot write " + path;
        return false;
    }
    return true;
}

bool ReadLabels(const std::string &dir, std::vector<LabelledItem> &items, std::string *error) {
    std::string path = dir + "/labels.txt";
    std::ifstream in(path);
    if (!in) {
        if (error)
            *error = "cannot open " + path;
        return false;
    }
    items.clear();
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0) {
            if (error)
                *error = path + ":" + std::to_string(lineNo) + ": expected name<TAB>text";
            return false;
        }
        items.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return true;
}

}  // namespace inksynth
