// Ink files: InkML documents and raw stroke data.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Ink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    hwr_ink::Ink ink;
    std::string error;
    if (hwr_ink::ParseInkML(text, ink, error)) {
        for (const auto &stroke : ink.strokes) {
            for (const auto &p : stroke) {
                if (p.x < 0 || p.y < 0 || p.x > 32767 || p.y > 32767)
                    abort();
            }
        }
        std::vector<int16_t> strokes = hwr_ink::ToStrokeData(ink);
        hwr_ink::Ink back;
        if (!hwr_ink::FromStrokeData(strokes.data(), strokes.size() / 2, back, error))
            abort();
    }
    std::vector<int16_t> raw(size / 2);
    for (size_t i = 0; i < raw.size(); ++i) {
        raw[i] = static_cast<int16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    hwr_ink::FromStrokeData(raw.data(), raw.size() / 2, ink, error);
    return 0;
}
