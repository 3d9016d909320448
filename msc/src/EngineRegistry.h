// EngineRegistry: the engines built into the speech library, selected by the login item engine=.
#pragma once

#include <string_view>

#include "Engine.h"

namespace msc {

struct EngineEntry {
    const char *name;
    EngineFactory create;
};

// The engine called `name`, or the default engine (the first of the table) for an empty name;
// null for an unknown name.
const EngineEntry *FindEngine(std::string_view name);

}  // namespace msc
