// Fuzzes the association engine's dictionary loader and lookup: an arbitrary system dictionary
// image, a user dictionary whose ring indexes come from the input, and a text to associate and
// learn. Input layout:
//   byte 0      flags: 1 reseal the checksum, 2 fit the data length to the input, 4 give a user
//               dictionary, 8 recursive, 16 single-character mode, 32 take the ring indexes
//   bytes 1-8   oldest and next ring index (with flag 32)
//   byte 9      text length in code units (at most 32), then the text
//   the rest    the system dictionary
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "WaDictWriter.h"
#include "WaFormat.h"
#include "iWWA.h"

namespace {

void Ignore(void *, const iWWA_Char *text, uint32_t length) {
    // Touch every unit the engine hands out, so that a bad length shows.
    volatile iWWA_Char sink = 0;
    for (uint32_t i = 0; i <= length; ++i)
        sink = sink + text[i];
}

// An exactly sized heap copy, so that a read past the end is caught.
struct Copy {
    Copy(const uint8_t *data, size_t size)
        : p(static_cast<uint8_t *>(std::malloc(size ? size : 1))) {
        if (size)
            std::memcpy(p, data, size);
    }
    ~Copy() { std::free(p); }
    uint8_t *p;
};

// Blocks of one size live across runs (held in plain globals, so that they stay reachable): a
// megabyte allocated and freed per input would cost more than the engine does.
void *Reused(uint32_t size) {
    static void *pool[4];
    static uint32_t sizes[4];
    static size_t used = 0;
    for (size_t i = 0; i < used; ++i)
        if (sizes[i] == size)
            return pool[i];
    if (used == 4)
        std::abort();
    sizes[used] = size;
    return pool[used++] = std::aligned_alloc(16, (size + 15) & ~15u);
}

void Run(iWWA_Engine *engine, const std::vector<iWWA_Char> &text, uint8_t flags) {
    uint32_t size = 0;
    if (iWWA_Session_GetSize(engine, &size) != iWWA_OK)
        return;
    iWWA_Session *s = nullptr;
    if (iWWA_Session_Init(engine, Reused(size), size, &s) != iWWA_OK)
        return;
    iWWA_Session_SetParam(s, iWWA_PARAM_CALLBACK, reinterpret_cast<const void *>(&Ignore));
    iWWA_Session_SetParam(s, iWWA_PARAM_USERDATA, s);
    const int32_t mode = (flags & 16) ? iWWA_MODE_SINGLE : iWWA_MODE_MULTI;
    const int32_t limit = 256;
    iWWA_Session_SetParam(s, iWWA_PARAM_MODE, &mode);
    iWWA_Session_SetParam(s, iWWA_PARAM_CANDNUM, &limit);
    const int32_t recursive = (flags & 8) ? 1 : 0;
    iWWA_Session_Associate(s, text.data(), recursive);
    iWWA_Session_AdjustWord(s, text.data());
    iWWA_Session_Associate(s, text.data() + (text.size() > 1 ? 1 : 0), recursive);
    const void *block;
    uint32_t length;
    if (iWWA_Session_GetUserDict(s, &block, &length) == iWWA_OK && length != wa::kUserDictSize)
        std::abort();
    iWWA_Session_Uninit(&s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 10)
        return 0;
    const uint8_t flags = data[0];
    const size_t units = data[9] % 33;
    if (size < 10 + 2 * units)
        return 0;
    std::vector<iWWA_Char> text(units + 1, 0);
    std::memcpy(text.data(), data + 10, 2 * units);
    const uint8_t *dict = data + 10 + 2 * units;
    const size_t dictSize = size - 10 - 2 * units;

    Copy system(dict, dictSize);
    if (dictSize >= wa::kHeaderSize) {
        if (flags & 2)
            wa::StoreU32(system.p + wa::kOffDataLength,
                         static_cast<uint32_t>(dictSize - wa::kHeaderSize));
        if (flags & 1) {
            const uint32_t n =
                std::min<uint32_t>(wa::LoadU32(system.p + wa::kOffDataLength),
                                   static_cast<uint32_t>(dictSize - wa::kHeaderSize));
            uint32_t sum = 0;
            for (uint32_t i = 0; i < n; ++i)
                sum += system.p[wa::kHeaderSize + i];
            wa::StoreU32(system.p + wa::kOffChecksum, sum);
        }
    }
    static const wadict::Bytes ring = wadict::BuildUserDict({u"\u4e2d\u56fd", u"ab"});
    static Copy user(ring.data(), ring.size());
    std::memcpy(user.p + wa::kUserOffOldest, ring.data() + wa::kUserOffOldest, 8);
    if (flags & 32)
        std::memcpy(user.p + wa::kUserOffOldest, data + 1, 8);
    const void *userDict = (flags & 4) ? user.p : nullptr;
    const uint32_t userSize = (flags & 4) ? static_cast<uint32_t>(ring.size()) : 0;

    uint32_t engineSize = 0;
    if (iWWA_GetEngineSize(system.p, static_cast<uint32_t>(dictSize), userDict, userSize,
                           &engineSize) != iWWA_OK)
        return 0;
    iWWA_Engine *engine = nullptr;
    if (iWWA_Init(system.p, static_cast<uint32_t>(dictSize), userDict, userSize, Reused(engineSize),
                  engineSize, &engine) == iWWA_OK) {
        Run(engine, text, flags);
        iWWA_Uninit(&engine);
    }
    return 0;
}
