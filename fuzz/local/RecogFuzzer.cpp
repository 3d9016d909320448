// Random strokes through the whole V7 recogniser (ink pipeline, network, both passes). Input:
// 16-bit little-endian values taken as (x, y) pairs, as the kit hands them in; the first byte
// chooses whether the writing is closed with the end markers, whether it is one character, and
// whether coordinates keep their full range. Recognition time grows with pen travel (one frame
// per unit), so full-range writings are limited to a few pairs and the others to coordinates
// below 1024; negative values always pass unchanged, markers included.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "InkPipeline.h"
#include "ResourceBuilder.h"
#include "WeightFile.h"
#include "iWFS.h"

namespace {

struct Fixture {
    std::vector<unsigned char> main, additional;
    std::vector<uint64_t> engineMemory;
    iWFS_Engine *engine = nullptr;
    std::unique_ptr<uint64_t[]> sessionMemory;
    iWFS_Session *session = nullptr;
    std::unique_ptr<uint64_t[]> inkMemory{
        new uint64_t[(v7::InkPipeline::WorkspaceSize() + 7) / 8]};
    v7::InkPipeline ink{inkMemory.get()};

    Fixture() {
        main = v7res::BuildMainResource(v7res::MainSettings{}, v7res::RandomWeightSection(7));
        std::vector<std::u16string> words = {u"the", u"cat", u"sat"};
        for (char16_t c = u'a'; c <= u'z'; ++c)
            words.push_back(std::u16string(1, c));
        additional = v7res::BuildAdditionalResource(v7res::WordPassSettings{}, words, 1, {});
        size_t size = 0;
        iWFS_Engine_GetStackSize(main.data(), main.size(), additional.data(), additional.size(),
                                 &size);
        engineMemory.resize(size / 8 + 1);
        iWFS_Engine_Init(main.data(), main.size(), additional.data(), additional.size(),
                         engineMemory.data(), size, &engine);
        iWFS_Session_GetBufSize(engine, &size);
        sessionMemory.reset(new uint64_t[size / 8 + 1]);
        iWFS_Session_Init(engine, sessionMemory.get(), size, &session);
        const iWFS_ResultFunction fn = [](void *, const uint16_t *, int, float) {};
        iWFS_Session_SetParam(session, kWfsResultFunction, &fn);
    }
};

Fixture *fixture = nullptr;

}  // namespace

// The engine and its session are made once, before the inputs run.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fixture = new Fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Fixture &f = *fixture;
    if (size < 1 || !f.session)
        return 0;
    const uint8_t mode = data[0];
    std::vector<int32_t> pairs;
    const bool fullRange = (mode & 4) != 0;
    for (size_t i = 1; i + 1 < size && (!fullRange || pairs.size() < 16); i += 2) {
        int16_t v;
        std::memcpy(&v, data + i, 2);
        pairs.push_back(v < 0 || fullRange ? v : v & 0x3FF);
    }
    if (pairs.size() % 2)
        pairs.pop_back();
    if (mode & 1)
        pairs.insert(pairs.end(), {-1, 0, -1, -1});
    const int32_t split = (mode & 2) ? 0 : 1;
    const int count = static_cast<int>(pairs.size() / 2);
    // The ink pipeline sees every input; the network only writings of modest pen travel, so
    // that one run stays within the fuzzer's time limit.
    if (f.ink.Prepare(pairs.data(), count, split == 0) == 0) {
        int frames = 0;
        for (int s = 0; s < f.ink.segmentCount(); ++s)
            if (f.ink.BuildFrames(s) == 0) frames += f.ink.frameCount();
        if (frames > 3000) return 0;
    }
    iWFS_Session_SetParam(f.session, kWfsSplitMode, &split);
    iWFS_Session_Recognize(f.session, pairs.data(), count);
    return 0;
}
