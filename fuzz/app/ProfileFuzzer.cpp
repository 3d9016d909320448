// The INI reader and writer on arbitrary files: reading never fails, and a key that was set reads
// back as set while the rest of the text keeps its values.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/PrivateProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view text(reinterpret_cast<const char *>(data), size);
    ProfileText profile(text);
    std::optional<std::string> before = profile.Get("Other", "Key");
    for (const char *key : {"AutoUpdateType", "Language", "ShowFlag"})
        if (auto value = profile.Get("Setting", key))
            (void)ProfileValueToInt(*value, 1);

    profile.Set("Setting", "Language", "13");
    ProfileText again(profile.Text());
    if (again.Get("Setting", "Language") != std::optional<std::string>("13"))
        __builtin_trap();
    // Writing [Setting] never changes another section.
    if (again.Get("Other", "Key") != before)
        __builtin_trap();
    return 0;
}
