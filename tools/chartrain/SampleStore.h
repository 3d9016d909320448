// SampleStore: synthetic writing samples of a character set on disk, written class by class so
// that an interrupted generation resumes where it stopped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CharSets.h"
#include "InkAugmenter.h"

namespace chartrain {

struct SampleSpec {
    int perClass = 20;
    uint64_t seed = 1;
    double strength = 1.0;
    bool keepInk = false;      // store the stroke data (held-out sets)
    bool keepFeatures = true;  // store the raw features (training sets)
    // Drawings to use instead of a class's own, by class index (held-out fonts); may be empty.
    std::vector<std::vector<Ink>> drawingsOverride;
};

struct Samples {
    std::vector<uint32_t> cls;
    std::vector<int16_t> features;            // kRawFeatureCount per sample, when kept
    std::vector<std::vector<int16_t>> pairs;  // stroke data, when kept
    size_t size() const { return cls.size(); }
};

// The stroke data of sample `index` of class `cls`, ready for the engine (at most 1024 pairs).
std::vector<int16_t> MakeSample(const ClassDef &def, const std::vector<Ink> &drawings, uint32_t cls,
                                uint32_t index, const SampleSpec &spec);

// Cuts stroke data as the engine does: at most 1022 points and stroke ends, then the end pairs.
void CutForEngine(std::vector<int16_t> *pairs);

// Raw features as the engine computes them.
void RawFeatures(const std::vector<int16_t> &pairs, int16_t *out);

// Generates (or resumes, or just loads) the samples of `set` into `path`. Progress goes to
// stderr every `progressEvery` classes.
Samples BuildSamples(const CharSet &set, const SampleSpec &spec, const std::string &path,
                     int progressEvery = 200);

}  // namespace chartrain
