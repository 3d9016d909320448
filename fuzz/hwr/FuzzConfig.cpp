// Configuration strings: parsing, the key tables, numbers, and re-serialisation.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ConfigAssistant.h"

using qvcommon::ConfigAssistant;
using qvcommon::ConfigKeyRule;

static const ConfigKeyRule kRules[] = {
    {"capkey", nullptr, nullptr, 4},
    {"candnum", "|1|2|3|4|5|6|7|8|9|10|", "10", 0},
    {"realtime", "|no|yes|", "no", 0},
    {"resPrefix", nullptr, nullptr, 0},
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    ConfigAssistant config;
    if (!config.ParseConfig(text.c_str())) {
        if (!config.Empty())
            abort();  // a failed parse leaves nothing behind
        return 0;
    }
    // What ToString writes parses back to the same map.
    const std::string rendered = config.ToString();
    ConfigAssistant again;
    if (!again.ParseConfig(rendered) || again.ToString() != rendered)
        abort();
    int n = 0;
    config.GetInt("candnum", n, -100, 100);
    if (n < -100 || n > 100)
        abort();
    bool flag = false;
    config.GetBool("realtime", flag);
    ConfigAssistant merged = again;
    merged.Merge(config);
    merged.CheckAndRebuild(kRules);
    return 0;
}
