// Stroke validation of ordinary and real-time sessions on arbitrary data.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "HwrToolFunc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The length the caller claims may be anything up to what the buffer holds.
    std::vector<int16_t> points(size / 2 + 1);
    if (size)
        memcpy(points.data(), data, size & ~size_t{1});
    const uint32_t length = static_cast<uint32_t>(size & ~size_t{1});
    bool plain = HwrToolFunc::IsStrokesValid(points.data(), length);
    bool live = HwrToolFunc::IsStrokesValid_RealTime(points.data(), length);
    if (plain && !live)
        abort();  // a complete writing is also a valid last piece
    if (plain && (length < 12 || points[length / 2 - 1] != -1))
        abort();
    if (size >= 8) {
        int32_t x, y;
        memcpy(&x, data, 4);
        memcpy(&y, data + 4, 4);
        HwrToolFunc::IsPenPointValid(x, y);
    }
    return 0;
}
