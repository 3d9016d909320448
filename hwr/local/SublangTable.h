// The scripts whose letter resources hold several languages, and the sub-languages a
// recognition call names with `sublang` (the value is the position in the list).
#pragma once

#include <string>

namespace hwrlocal {

struct SublangRow {
    const char *script;
    const char *const *names;
    int count;
};

inline constexpr int kSublangRowCount = 3;
extern const SublangRow kSublangTable[kSublangRowCount];

// The row of a script, compared without regard to case; null when it has none.
const SublangRow *FindSublangRow(const std::string &script);

// The position of `name` in the row, compared without regard to case; -1 when absent.
int FindSublang(const SublangRow &row, const std::string &name);

}  // namespace hwrlocal
