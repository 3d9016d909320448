// Bytes through the stroke-font reader and the raw stroke data reader of the synthesiser.
#include <cstddef>
#include <cstdint>
#include <string>

#include "inksynth/Ink.h"
#include "inksynth/StrokeFace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    std::string error;
    if (auto face = inksynth::ParseHersheyFace(text, &error)) {
        for (int c = 32; c < 127; ++c)
            if (const inksynth::Glyph *g = face->Find(char(c)))
                for (const inksynth::Stroke &s : g->strokes)
                    if (s.empty())
                        __builtin_trap();  // the reader never keeps an empty stroke
    }
    std::vector<int16_t> pairs(size / 2);
    for (size_t i = 0; i < pairs.size(); ++i)
        pairs[i] = int16_t(data[2 * i] | data[2 * i + 1] << 8);
    inksynth::Ink ink;
    if (inksynth::FromRawStrokes(pairs.data(), pairs.size() / 2, ink)) {
        // What was read writes back to the same data.
        std::vector<int16_t> again = inksynth::ToRawStrokes(ink);
        inksynth::Ink twice;
        if (!inksynth::FromRawStrokes(again.data(), again.size() / 2, twice) ||
            twice.strokes.size() > ink.strokes.size())
            __builtin_trap();
    }
    return 0;
}
