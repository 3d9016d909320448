// Texts of the kit's error codes and of the system library's own.
#include "vra_sys.h"

namespace {

struct ErrorText {
    int code;
    const char *text;
};

// Keep in step with the code table of vra_hwr.h.
constexpr ErrorText kTexts[] = {
    {0, "success"},
    {-1,
     "capability not served: no recogniser for the key, or no loaded plug-in; or an engine "
     "failed to stop"},
    {1, "invalid argument"},
    {2, "out of memory"},
    {3, "invalid configuration: cannot be parsed, or a value is not allowed"},
    {4, "capkey missing in the session configuration"},
    {5, "capability key does not begin with \"hwr.\""},
    {6, "local capability key, but the kit was initialised without datapath"},
    {8, "remote service cannot be reached"},
    {9, "remote service did not answer in time"},
    {10, "exchange with the remote service failed, or its answer is unusable"},
    {11, "remote service reported a failure"},
    {14, "a resource file of the plug-in is missing"},
    {16, "no session with this id"},
    {17, "too many sessions"},
    {18, "sessions are still open"},
    {20, "data too large"},
    {22, "not supported"},
    {23, "plug-in library cannot be loaded or lacks an entry point"},
    {100, "system library not initialised"},
    {101, "system library already initialised"},
    {102, "system configuration file cannot be read"},
    {103, "no service address configured for this capability"},
    {104, "buffer too small"},
    {105, "usage history cannot be written"},
    {300, "kit not initialised"},
    {301, "kit already initialised"},
    {302, "confirmation without a preceding recognition result"},
    {304, "engine call failed or found no candidate"},
    {306, "engine session did not start"},
    {308, "recognition with sub-language letter resources lacks sublang"},
};

}  // namespace

extern "C" const char *vra_get_error_info(int code) {
    for (const ErrorText &e : kTexts) {
        if (e.code == code)
            return e.text;
    }
    return "unknown error";
}
