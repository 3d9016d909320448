// The recognition type of a local session, chosen by words of its capability key.
#pragma once

#include <string>

namespace hwrlocal {

enum RecogType : int {
    kRecogUnknown = -1,
    kRecogLetter = 0,        // HwrRecogLetter
    kRecogFreeStylus = 1,    // HwrRecogFreeStylus
    kRecogGesture = 2,       // HwrRecogGesture
    kRecogFreeStylusV7 = 3,  // HwrRecogFreeStylusV7
};

// The first of "letter", "gesture", "freestylus.v7", "freestylus" found anywhere in the key:
// a key holding "freestylus.v7" also holds "freestylus", one holding "letter" is letter
// whatever else it names.
RecogType RecogTypeFromCapKey(const std::string &capkey);

}  // namespace hwrlocal
