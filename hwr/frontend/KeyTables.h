// The key tables that the front end checks configurations against, one per call.
#pragma once

#include <cstddef>

#include "ConfigAssistant.h"

namespace KeyTables {

struct Table {
    const qvcommon::ConfigKeyRule *rows;
    size_t count;
};

extern const Table kInit;
extern const Table kSession;
extern const Table kRecog;
extern const Table kPinyin;
extern const Table kAssociate;

}  // namespace KeyTables
