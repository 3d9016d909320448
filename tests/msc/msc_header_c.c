/* msc.h must compile as plain C. */
#include "msc.h"

int msc_header_is_c(void) { return MSC_AUDIO_LAST + MSC_REC_COMPLETE; }
