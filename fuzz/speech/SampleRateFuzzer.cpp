// ReadSampleRate on arbitrary parameter texts: it never reads past the text, and without
// "sample_rate" it leaves the format alone.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "speech/SpeechRec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    WaveFormat format;
    const int result = ReadSampleRate(text.c_str(), &format);
    const bool named = std::strstr(text.c_str(), "sample_rate") != nullptr;
    if (!named && (result != -1 || format.samplesPerSec != 16000))
        __builtin_trap();
    if (format.avgBytesPerSec != format.samplesPerSec * format.blockAlign)
        __builtin_trap();
    return 0;
}
