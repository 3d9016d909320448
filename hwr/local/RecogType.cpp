#include "RecogType.h"

namespace hwrlocal {

RecogType RecogTypeFromCapKey(const std::string &capkey) {
    static const struct {
        const char *word;
        RecogType type;
    } kWords[] = {{"letter", kRecogLetter},
                  {"gesture", kRecogGesture},
                  {"freestylus.v7", kRecogFreeStylusV7},
                  {"freestylus", kRecogFreeStylus}};
    for (const auto &w : kWords)
        if (capkey.find(w.word) != std::string::npos)
            return w.type;
    return kRecogUnknown;
}

}  // namespace hwrlocal
