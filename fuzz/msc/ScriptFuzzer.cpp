// The scripted engine's script reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "SpeechScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    msc::SpeechScript script;
    std::string error;
    std::string_view text(reinterpret_cast<const char *>(data), size);
    if (script.Parse(text, &error)) {
        for (const auto &plan : script.sessions)
            for (const auto &event : plan.events)
                if (event.kind == msc::ScriptEvent::kError && event.code == 0)
                    __builtin_trap();
    } else if (error.rfind("line ", 0) != 0) {
        __builtin_trap();
    }
    return 0;
}
