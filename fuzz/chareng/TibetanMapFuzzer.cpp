// Arbitrary text as tibetanmap.txt: the reader keeps to its limits whatever the tokens are.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "TibetanMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char *>(data), size));
    hwrlocal::TibetanMap map;
    int skipped = 0;
    hwrlocal::ReadTibetanMapStream(in, map, &skipped);
    for (const auto &[key, units] : map)
        if (units.empty() || units.size() > hwrlocal::kTibetanMaxUnits)
            std::abort();
    return 0;
}
