/* The public headers compile as C and their records have the documented layout. */
#include <stddef.h>

#include "vra_hwr.h"
#include "vra_sys.h"

int kit_c_header_check(void) {
    HwrRecogResult r = {NULL, 0};
    HwrConfirmItem c = {"x"};
    VraUserHisItem h = {0};
    VraCommonHeaderInfo info = {0};
    int ok = r.count == 0 && c.text != NULL && h.info_len == 0 && info.udidtype == 0;
    ok = ok && offsetof(HwrRecogResultItem, values) == 0 &&
         offsetof(HwrRecogResultItem, value_count) == sizeof(void *) &&
         offsetof(HwrPenScriptItem, dim1) == sizeof(void *) + 2 * sizeof(int32_t);
    return ok && HWR_ERR_LOAD_PLUGIN == 23 && VRA_LOG_TRACE == 5;
}
