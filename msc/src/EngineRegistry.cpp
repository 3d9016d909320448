#include "EngineRegistry.h"

#include <iterator>

#include "ScriptedEngine.h"
#include "engines/pocketsphinx/SphinxEngine.h"

namespace msc {
namespace {

// The first entry is the default engine; add new engines above "scripted", which only plays
// back script files for tests and demonstrations.
const EngineEntry kEngines[] = {
    {"sphinx", &CreateSphinxEngine},
    {"scripted", &CreateScriptedEngine},
};

}  // namespace

const EngineEntry *FindEngine(std::string_view name) {
    if (name.empty())
        return &kEngines[0];
    for (const EngineEntry &entry : kEngines)
        if (name == entry.name)
            return &entry;
    return nullptr;
}

}  // namespace msc
