// Random bytes through every reader of the V7 resources: the sectioned container, the word list
// and word model (with queries), and the engine's checks as main and as additional resource.
#include <cstdint>
#include <cstring>
#include <vector>

#include "ResourceBuilder.h"
#include "SectionedResource.h"
#include "WordList.h"
#include "WordModel.h"
#include "iWFS.h"

namespace {

const std::vector<unsigned char> &ValidMain() {
    // The engine checks only that the weights are whole floats; a short section keeps each run
    // cheap.
    static const std::vector<unsigned char> main =
        v7res::BuildMainResource(v7res::MainSettings{}, std::vector<float>(4, 0.5f));
    return main;
}

void Query(const v7::WordModel &model) {
    const uint16_t probe[3] = {'c', 'a', 't'};
    for (int n = 0; n <= 3; ++n) {
        uint32_t lo = 0, hi = 0, cost = 0;
        model.words().PrefixRange(probe, n, &lo, &hi);
        const uint32_t context[2] = {v7::kSentenceStart, model.Token(probe, n)};
        model.Cost(context, 2, model.Token(probe, n), &cost);
        model.Cost(context, 1, v7::kSentenceEnd, &cost);
        if (lo < hi)
            model.CompletionCost(context, 2, lo, hi, &cost);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Aligned copies, as files are loaded.
    std::vector<uint64_t> aligned(size / 8 + 1);
    std::memcpy(aligned.data(), data, size);
    const auto *bytes = reinterpret_cast<const unsigned char *>(aligned.data());

    v7::WordList list;
    if (list.Open(bytes, size)) {
        const uint16_t probe[2] = {'a', 'b'};
        list.IsPrefix(probe, 2);
        list.IsWord(probe, 1);
    }
    v7::WordModel model;
    if (model.Open(bytes, size))
        Query(model);

    if (v7::SectionedResource::IsValid(bytes, size)) {
        const unsigned char *section;
        uint32_t length;
        for (int i = 0; i < 4 && v7::SectionedResource::Section(bytes, size, i, &section, &length);
             ++i) {
            std::vector<uint64_t> copy(length / 8 + 1);
            std::memcpy(copy.data(), section, length);
            if (model.Open(copy.data(), length))
                Query(model);
        }
    }
    // As the additional resource of a good main one, and as a main resource.
    const std::vector<unsigned char> &main = ValidMain();
    size_t need = 0;
    if (iWFS_Engine_GetStackSize(main.data(), main.size(), bytes, size, &need) == 0) {
        std::vector<uint64_t> memory(need / 8 + 1);
        iWFS_Engine *engine = nullptr;
        if (iWFS_Engine_Init(main.data(), main.size(), bytes, size, memory.data(), need, &engine) ==
            0)
            iWFS_Engine_Uninit(engine);
    }
    if (iWFS_Engine_GetStackSize(bytes, size, nullptr, 0, &need) == 0) {
        std::vector<uint64_t> memory(need / 8 + 1);
        iWFS_Engine *engine = nullptr;
        if (iWFS_Engine_Init(bytes, size, nullptr, 0, memory.data(), need, &engine) == 0)
            iWFS_Engine_Uninit(engine);
    }
    return 0;
}
