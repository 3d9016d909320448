#include "RecogFactory.h"

#include <new>

#include "HwrRecogFreeStylusV7.h"
#include "vra_hwr.h"

namespace hwrlocal {

std::unique_ptr<HwrRecogEngine> CreateRecogniser(RecogType type, int *code) {
    *code = 0;
    HwrRecogEngine *engine = nullptr;
    switch (type) {
        case kRecogFreeStylusV7:
            engine = new (std::nothrow) HwrRecogFreeStylusV7();
            break;
        // The letter, gesture and freestylus recognisers join here as they are built.
        case kRecogLetter:
        case kRecogGesture:
        case kRecogFreeStylus:
        default:
            *code = HWR_ERR_NOT_SUPPORTED;
            return nullptr;
    }
    if (!engine)
        *code = HWR_ERR_NO_MEMORY;
    return std::unique_ptr<HwrRecogEngine>(engine);
}

}  // namespace hwrlocal
