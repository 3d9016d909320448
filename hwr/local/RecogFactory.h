// Which recogniser serves a recognition type: the one place to add a recogniser class.
#pragma once

#include <memory>

#include "HwrRecogEngine.h"
#include "RecogType.h"

namespace hwrlocal {

// The recogniser for type, or null with *code set: 22 for a type this build has no recogniser
// for, 2 when it cannot be allocated.
std::unique_ptr<HwrRecogEngine> CreateRecogniser(RecogType type, int *code);

}  // namespace hwrlocal
