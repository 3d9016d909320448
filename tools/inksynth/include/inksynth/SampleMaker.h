// Makes labelled synthetic samples: for sample i of a seed, a writer, a face and a text, all
// drawn from a random source seeded by (seed, i) alone, so any sample can be made again on its
// own and a data set is the same whatever order or chunks it is made in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "inksynth/Ink.h"
#include "inksynth/StrokeFace.h"
#include "inksynth/TextSampler.h"
#include "inksynth/WriterStyle.h"

namespace inksynth {

// The faces the synthesiser knows, by name: Hershey faces ("futural" print, "scripts" script
// letters written one by one, "cursive" the same letters joined) found in `hersheyDir`,
// handwriting outline fonts of Debian's packages ("dkg", "rufscript", "comicneue", ...) under
// `fontsDir`, and the npm registry's handwriting faces that tools/inksynth/fetch-handfonts.sh
// put into `handFontsDir` (named in its handfonts.txt). Each sample's writer forms letters
// mostly as one face does, some as others (see Hand).
class FaceLibrary {
  public:
    static constexpr const char *kHandFontsDir = "build/handfonts";
    explicit FaceLibrary(std::string hersheyDir, std::string handFontsDir = kHandFontsDir,
                         std::string fontsDir = "/usr/share/fonts")
        : hersheyDir_(std::move(hersheyDir)),
          handFontsDir_(std::move(handFontsDir)),
          fontsDir_(std::move(fontsDir)) {}
    // Loads (once) and returns the face; null with `error` set when it cannot be had.
    const StrokeFace *Get(const std::string &name, std::string *error);
    // The built-in names, then those of handFontsDir's list (none when it has no list).
    std::vector<std::string> KnownNames() const;

  private:
    struct HandFont {
        std::string name;
        bool capitalsOnly;
    };
    // handfonts.txt of handFontsDir: "NAME [capitals]" lines, '#' comments.
    std::vector<HandFont> HandFonts() const;
    const StrokeFace *LoadOutline(const std::string &name, const std::string &path,
                                  bool capitalsOnly, std::string *error);
    std::string hersheyDir_, handFontsDir_, fontsDir_;
    std::vector<std::unique_ptr<StrokeFace>> faces_;
};

struct Sample {
    Ink ink;
    std::string text;
    std::string face;
    WriterStyle style;
};

class SampleMaker {
  public:
    struct FaceChoice {
        const StrokeFace *face;
        float weight;
    };
    // `fallback` writes the characters a face lacks; every pointer must outlive the maker.
    SampleMaker(std::vector<FaceChoice> faces, const StrokeFace *fallback, const TextSampler &texts,
                TextMix mix, uint64_t seed)
        : faces_(std::move(faces)), fallback_(fallback), texts_(texts), mix_(mix), seed_(seed) {}

    Sample Make(uint64_t index) const;
    // The same writer, with a text drawn from another mix (a curriculum changes it over time).
    Sample Make(uint64_t index, const TextMix &mix) const;
    // The same writer and face as Make(index) would use, writing a given text.
    Sample MakeWithText(uint64_t index, const std::string &text) const;
    // Chance that a sample's writer has long loops (WriterStyle::LengthenLoops). The choice has
    // a random source of its own: at 0 every sample is exactly what it was without it.
    void SetLongLoops(float chance) { longLoops_ = chance; }
    // Chance that a sample's writer has rough letter shapes (WriterStyle::RoughenShapes), with
    // a random source of its own as for long loops.
    void SetRoughShapes(float chance) { roughShapes_ = chance; }

  private:
    Sample Build(uint64_t index, const std::string *text, const TextMix &mix) const;
    std::vector<FaceChoice> faces_;
    const StrokeFace *fallback_;
    const TextSampler &texts_;
    TextMix mix_;
    uint64_t seed_;
    float longLoops_ = 0;
    float roughShapes_ = 0;
};

// A data set on disk: one raw stroke file per sample beside "labels.txt", whose lines are
// "<file name><TAB><text>".
struct LabelledItem {
    std::string file;  // name inside the set's folder
    std::string text;
};
bool WriteLabels(const std::string &dir, const std::vector<LabelledItem> &items,
                 std::string *error);
bool ReadLabels(const std::string &dir, std::vector<LabelledItem> &items, std::string *error);

}  // namespace inksynth
