// The system library's configuration text, and the calls that read what it configured.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vra_sys.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // Nothing of the fuzzed configuration may write files outside a scratch folder.
    setenv("XDG_DATA_HOME", "/tmp/fuzz_vra_sys", 1);
    setenv("VRA_LOG_LEVEL", "0", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    // Keys that name files (configfile, logfile, authpath, historyfile) are kept out.
    for (const char *key : {"configfile", "logfile", "authpath", "historyfile"}) {
        if (strcasestr(text.c_str(), key))
            return 0;
    }
    if (VRA_Init(text.c_str()) == 0) {
        char buf[64];
        VRA_ApplyServiceUrlSynch(VRA_GetDefaultAppKey(), "hwr.cloud.letter", buf, sizeof buf);
        VRA_GetDeveloperKeyByAppKey(VRA_GetDefaultAppKey());
        int n = VRA_GetMaxSessionCount();
        if (n < 1 || n > 256)
            abort();
        VraCommonHeaderInfo info;
        if (VRA_GetCommonHeaderInfo(&info) == 0)
            VraFreeCommonHeaderInfo(&info);
        VRA_Release();
    }
    return 0;
}
