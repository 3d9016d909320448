// The V7 engine object: the checked sections of the main and additional resources.
#include <cstring>
#include <new>

#include "KeyedScramble.h"
#include "SectionedResource.h"
#include "V7EngineRecord.h"

using v7::SectionedResource;

namespace {

constexpr size_t Align8(size_t n) {
    return (n + 7) / 8 * 8;
}

struct Sections {
    const unsigned char *data[2] = {nullptr, nullptr};
    uint32_t size[2] = {0, 0};
    bool keyed = false;
};

// Sections 0 and 1 of a resource; kWfsInvalidResource when the image or a section is bad.
int ReadSections(const void *image, size_t size, Sections *out) {
    if (!SectionedResource::IsValid(image, size))
        return kWfsInvalidResource;
    for (int i = 0; i < 2; ++i)
        if (!SectionedResource::Section(image, size, i, &out->data[i], &out->size[i]))
            return kWfsInvalidResource;
    out->keyed = !SectionedResource::Key(image).empty();
    return 0;
}

size_t CopyBytes(const Sections &s) {
    return s.keyed ? Align8(s.size[0]) + Align8(s.size[1]) : 0;
}

}  // namespace

int iWFS_Engine_GetStackSize(const void *mainResource, size_t mainSize,
                             const void *additionalResource, size_t additionalSize, size_t *size) {
    if (!mainResource || !size)
        return kWfsBadArgument;
    Sections main, additional;
    if (int code = ReadSections(mainResource, mainSize, &main))
        return code;
    if (additionalResource) {
        if (int code = ReadSections(additionalResource, additionalSize, &additional))
            return code;
    }
    *size = Align8(sizeof(iWFS_Engine)) + CopyBytes(main) + CopyBytes(additional);
    return 0;
}

int iWFS_Engine_Init(const void *mainResource, size_t mainSize, const void *additionalResource,
                     size_t additionalSize, void *memory, size_t size, iWFS_Engine **engine) {
    if (!mainResource || !memory || !engine ||
        reinterpret_cast<uintptr_t>(memory) % alignof(iWFS_Engine) != 0)
        return kWfsBadArgument;
    size_t need = 0;
    if (int code = iWFS_Engine_GetStackSize(mainResource, mainSize, additionalResource,
                                            additionalSize, &need))
        return code == kWfsInvalidResource ? code : kWfsInternal;
    if (size != need)
        return kWfsBadArgument;
    Sections main, additional;
    ReadSections(mainResource, mainSize, &main);
    if (additionalResource)
        ReadSections(additionalResource, additionalSize, &additional);
    if (main.size[0] < v7config::kSize || main.size[1] % 4 != 0)
        return kWfsInvalidResource;
    if (additionalResource && additional.size[0] < v7config::kWordSize)
        return kWfsInvalidResource;
    auto *e = new (memory) iWFS_Engine();
    e->mainImage = static_cast<const unsigned char *>(mainResource);
    e->additionalImage = static_cast<const unsigned char *>(additionalResource);
    // Keyed sections are unscrambled into the engine's own memory.
    unsigned char *copies = static_cast<unsigned char *>(memory) + Align8(sizeof(iWFS_Engine));
    auto place = [&](const Sections &s, const char *key, const unsigned char **d0,
                     const unsigned char **d1) {
        if (!s.keyed) {
            *d0 = s.data[0];
            *d1 = s.data[1];
            return;
        }
        for (int i = 0; i < 2; ++i) {
            std::memcpy(copies, s.data[i], s.size[i]);
            qvcommon::KeyedDescramble(copies, s.size[i], key);
            (i == 0 ? *d0 : *d1) = copies;
            copies += Align8(s.size[i]);
        }
    };
    place(main, SectionedResource::Key(mainResource).c_str(), &e->main0, &e->main1);
    e->main0Size = main.size[0];
    e->main1Size = main.size[1];
    if (additionalResource) {
        place(additional, SectionedResource::Key(additionalResource).c_str(), &e->additional0,
              &e->additional1);
        e->additional0Size = additional.size[0];
        e->additional1Size = additional.size[1];
        if (!e->wordModel.Open(e->additional1, e->additional1Size)) {
            e->~iWFS_Engine();
            return kWfsInvalidResource;
        }
    }
    *engine = e;
    return 0;
}

int iWFS_Engine_Uninit(iWFS_Engine *engine) {
    if (!engine)
        return kWfsBadArgument;
    engine->~iWFS_Engine();
    std::memset(static_cast<void *>(engine), 0, sizeof(iWFS_Engine));
    return 0;
}
