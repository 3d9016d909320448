// Random strokes and call keys through the whole letter and gesture recognisers, by the local
// plug-in's own entry points (no front end checks the data first), on the shipped dictionaries.
// Input: byte 0 picks the session (Latin, Chinese, gestures), the call configuration and
// whether the writing is closed with the end markers; the rest are 16-bit little-endian values
// taken as (x, y) pairs, coordinates folded into 0..4095 unless bit 7 of byte 0 keeps them whole
// (negative values always pass unchanged, markers included).
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ConfigAssistant.h"
#include "PluginContract.h"
#include "vra_sys.h"

namespace {

struct Plugin {
    VraHwrInitFunc init = nullptr;
    VraHwrStartSessionFunc start = nullptr;
    VraHwrRecogFunc recog = nullptr;
    VraHwrFreeRecogResultFunc free = nullptr;
    VraHwrStopSessionFunc stop = nullptr;
    uint32_t sessions[3] = {};
};

Plugin *plugin = nullptr;

const char *const kSessions[3] = {
    "capkey=hwr.local.letter",
    "capkey=hwr.local.letter,resPrefix=zh_",
    "capkey=hwr.local.gesture",
};

constexpr size_t kSlantCall = 3;
const char *const kCalls[] = {
    "candnum=10",
    "candnum=50,fullhalf=half,dispcode=totraditional",
    "candnum=3,recogrange=number+upper",
    "candnum=10,openslant=yes",
    "candnum=7,recogrange=gb,dispcode=tosimplified",
    "candnum=10,sublang=english,recogrange=all",
    "recogrange=nosuch",
    "candnum=-5",
};

template <typename F>
F Lookup(void *lib, const char *name) {
    void *f = dlsym(lib, name);
    if (!f) {
        std::fprintf(stderr, "letter_recog_fuzzer: %s missing\n", name);
        std::abort();
    }
    return reinterpret_cast<F>(f);
}

qvcommon::ConfigAssistant Parse(const char *text) {
    qvcommon::ConfigAssistant c;
    c.ParseConfig(text);
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    VRA_Init("loglevel=0,history=no");
    void *lib = dlopen(QV_LOCAL_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "letter_recog_fuzzer: %s\n", dlerror());
        std::abort();
    }
    plugin = new Plugin;
    plugin->init = Lookup<VraHwrInitFunc>(lib, "VraHwrInit");
    plugin->start = Lookup<VraHwrStartSessionFunc>(lib, "VraHwrStartSession");
    plugin->recog = Lookup<VraHwrRecogFunc>(lib, "VraHwrRecog");
    plugin->free = Lookup<VraHwrFreeRecogResultFunc>(lib, "VraHwrFreeRecogResult");
    plugin->stop = Lookup<VraHwrStopSessionFunc>(lib, "VraHwrStopSession");
    const qvcommon::ConfigAssistant init = Parse("datapath=" QV_SHIPPED_DATA_DIR);
    plugin->init(&init);
    for (int i = 0; i < 3; ++i) {
        const qvcommon::ConfigAssistant config = Parse(kSessions[i]);
        if (plugin->start(&config, &plugin->sessions[i]) != 0) {
            std::fprintf(stderr, "letter_recog_fuzzer: %s does not start\n", kSessions[i]);
            std::abort();
        }
    }
    // The sessions end before the plug-in's own tables go, so nothing is left behind.
    std::atexit([] {
        for (uint32_t &session : plugin->sessions)
            plugin->stop(&session);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    const bool whole = (mode & 0x80) != 0;
    std::vector<int16_t> strokes;
    for (size_t i = 1; i + 1 < size; i += 2) {
        int16_t v;
        std::memcpy(&v, data + i, 2);
        strokes.push_back(v < 0 || whole ? v : static_cast<int16_t>(v & 0xFFF));
    }
    if (mode & 0x40)
        strokes.insert(strokes.end(), {-1, 0, -1, -1});
    const size_t callIndex = (mode >> 2) % (sizeof kCalls / sizeof kCalls[0]);
    const qvcommon::ConfigAssistant call = Parse(kCalls[callIndex]);
    // Eight slanted passes over the 3,849 Chinese classes are too slow for a fuzzer: the
    // rotations run on the small dictionaries.
    size_t pick = (mode & 3) % 3;
    if (callIndex == kSlantCall && pick == 1)
        pick = 0;
    HwrRecogResult result{};
    const uint32_t session = plugin->sessions[pick];
    plugin->recog(session, &call, strokes.data(), static_cast<uint32_t>(strokes.size() * 2),
                  &result);
    for (uint32_t i = 0; i < result.count; ++i)
        if (!result.items[i].text)
            std::abort();
    plugin->free(&result);
    return 0;
}
