// The parameter-text reader on arbitrary bytes: a parsed text re-serialises to a text that
// parses to the same items.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    msc::Params params;
    std::string_view text(reinterpret_cast<const char *>(data), size);
    if (!params.Parse(text))
        return 0;
    msc::Params again;
    if (!again.Parse(params.ToString()) || again.Items() != params.Items())
        __builtin_trap();
    (void)params.GetInt("vad_eos", 0);
    return 0;
}
