// Filling and freeing the result records of a plug-in. A plug-in fills its records only through
// these helpers, so that its own free entry points (which the frame provides) match how the
// memory was allocated: malloc for every array and text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vra_hwr.h"

namespace qvcommon {

struct RecogCandidate {
    std::string text;
    std::vector<uint16_t> values;  // empty: no values
};

// Replaces the record's contents (the record must be empty); 0, or 2 with the record empty.
int FillRecogResult(HwrRecogResult *result, const std::vector<RecogCandidate> &candidates);
int FillTextResult(HwrPinyinResult *result, const std::vector<std::string> &texts);
int FillTextResult(HwrAssociateResult *result, const std::vector<std::string> &texts);

// Frees what the helpers allocated and leaves the record with items null and count 0.
void FreeRecogResult(HwrRecogResult *result);
void FreeTextResult(HwrPinyinResult *result);
void FreeTextResult(HwrAssociateResult *result);
void FreePenScriptResult(HwrPenScriptResult *result);

}  // namespace qvcommon
