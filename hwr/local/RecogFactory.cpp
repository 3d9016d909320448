#include "RecogFactory.h"

#include <new>

#include "HwrRecogFreeStylusV7.h"
#include "HwrRecogGesture.h"
#include "HwrRecogLetter.h"
#include "vra_hwr.h"

namespace hwrlocal {

std::unique_ptr<HwrRecogEngine> CreateRecogniser(RecogType type, int *code) {
    *code = 0;
    HwrRecogEngine *engine = nullptr;
    switch (type) {
        case kRecogLetter:
            engine = new (std::nothrow) HwrRecogLetter();
            break;
        case kRecogGesture:
            engine = new (std::nothrow) HwrRecogGesture();
            break;
        case kRecogFreeStylusV7:
            engine = new (std::nothrow) HwrRecogFreeStylusV7();
            break;
        // The freestylus recogniser joins here when it is built.
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
