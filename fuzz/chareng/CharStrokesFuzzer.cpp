// Random stroke data against a small sound dictionary with every section: recognition stays
// inside its buffers whatever the points are.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "CharDictionaryWriter.h"
#include "CharEngine.h"

namespace {

std::vector<uint8_t> MakeDictionary() {
    chartrain::DictionarySpec spec;
    spec.dim = 32;
    spec.divisor = 20000;
    std::mt19937 rng(5);
    spec.projection.resize(static_cast<size_t>(chareng::kRawFeatureCount) * 32);
    for (auto &w : spec.projection)
        w = static_cast<int16_t>(static_cast<int>(rng() % 2001) - 1000);
    spec.delta = {9, 9, 9, 9, 9, 9, 9, 9};
    spec.eigenCounts[0] = 2;
    for (int c = 0; c < 12; ++c) {
        chartrain::MqdfRecord rec;
        rec.mean.resize(32);
        for (auto &m : rec.mean)
            m = static_cast<uint8_t>(rng());
        rec.lambdas = {40, 20};
        rec.vectors.assign(2, std::vector<int8_t>(32, 11));
        spec.groups[c < 6 ? 0 : 6].AddMqdfClass({rec});
        spec.codes.push_back(static_cast<uint16_t>('A' + c));
        spec.calibration.push_back({10, 30});
        chartrain::SubModelClass sm;
        chartrain::Prototype p;
        for (int i = 0; i < 6 + c; ++i)
            p.points.push_back(
                {static_cast<uint8_t>(rng() % 64), static_cast<uint8_t>(rng() % 64)});
        sm.prototypes = {p};
        sm.alsoSwapped = c % 2;
        sm.useHorizontal = c % 3 == 0;
        spec.subModel.push_back(sm);
    }
    return chartrain::WriteDictionary(spec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::vector<uint8_t> dict = MakeDictionary();
    static std::vector<uint8_t> work(kCharEngineWorkSize);
    void *h = CharEngineStart(dict.data(), nullptr, work.data());
    if (!h || size < 1)
        return 0;
    const int32_t rotations = data[0] & 7, range = 0x101, fifty = 50;
    CharEngineSetParam(h, kCharParamRotations, &rotations);
    CharEngineSetParam(h, kCharParamRange, &range);
    CharEngineSetParam(h, kCharParamCandidates, &fifty);
    // Up to 1100 pairs from the input; the rest ends the writing.
    std::vector<int16_t> strokes(2 * 1100, -1);
    std::memcpy(strokes.data(), data + 1, std::min(size - 1, strokes.size() * 2));
    uint16_t codes[kCharMaxCandidates + 1];
    int32_t scores[kCharMaxCandidates + 1];
    CharEngineRecog(h, strokes.data(), codes, scores, nullptr);
    return 0;
}
