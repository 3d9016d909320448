// ScriptedEngine: plays back a script file (SpeechScript) instead of recognising, so that tests
// and demonstrations get exact results. Login items: engine = scripted, script = FILE (optional:
// without it every session ends with no result), journal = FILE (optional: one line appended per
// call - login, begin, write, result, end, search, logout - for tests to read).
#pragma once

#include <memory>

#include "Engine.h"

namespace msc {

int CreateScriptedEngine(const LoginContext &login, std::unique_ptr<Engine> *engine);

}  // namespace msc
