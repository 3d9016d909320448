// Random dictionary images: the full check refuses what is unsound; what it accepts must
// start and recognise without reading outside the image.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "CharEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exact-size copy, so that any read past the image is caught.
    std::vector<uint8_t> image(data, data + size);
    if (CharEngineCheckDictionary(image.data(), image.size()) != 0)
        return 0;
    static std::vector<uint8_t> work(kCharEngineWorkSize);
    void *h = CharEngineStart(image.data(), nullptr, work.data());
    if (!h)
        return 0;
    const int32_t all = -1, fifty = 50, rotations = 2, anywhere = 1;
    CharEngineSetParam(h, kCharParamRange, &all);
    CharEngineSetParam(h, kCharParamCandidates, &fifty);
    CharEngineSetParam(h, kCharParamRotations, &rotations);
    CharEngineSetParam(h, kCharParamSpecialAny, &anywhere);
    uint16_t specials[kCharSpecialCodes];
    for (int i = 0; i < kCharSpecialCodes; ++i)
        specials[i] = static_cast<uint16_t>(i + 1);
    CharEngineSetParam(h, kCharParamSpecial, specials);
    for (int32_t sub : {0, 1, 2})
        CharEngineSetParam(h, kCharParamSublang, &sub);
    int16_t strokes[] = {10, 10, 40, 60, 80, 20, -1, 0, 30, 50, 70, 50, -1, 0, -1, -1};
    uint16_t codes[kCharMaxCandidates + 1];
    int32_t scores[kCharMaxCandidates + 1];
    uint16_t second[kCharMaxCandidates + 1];
    CharEngineRecog(h, strokes, codes, scores, second);
    CharEngineEnd(h);
    return 0;
}
