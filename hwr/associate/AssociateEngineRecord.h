// The engine of one dictionary set (data path, user-dictionary path, resource prefix), shared by
// every session that uses the set: the two dictionaries held whole in memory and the engine core
// over them.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "FileReader.h"
#include "iWWA.h"

namespace wa {

struct AssociateEngineRecord {
    std::string key;
    uint32_t handle = 0;  // the record's number, as the helper's handle
    std::unique_ptr<uint8_t, decltype(&std::free)> engineMemory{nullptr, &std::free};
    iWWA_Engine *engine = nullptr;
    qvcommon::FileReader userDict;
    qvcommon::FileReader systemDict;
    std::string userDictPath;  // the file that sessions write back at stop
    int useCount = 0;
};

}  // namespace wa
