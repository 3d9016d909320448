// The fourteen entry points of libvra_hwr_local_recog.
#include "HwrLocalEngine.h"
#include "PluginFrame.h"

QV_HWR_PLUGIN(hwrlocal::HwrLocalEngine, QV_TAG_LOCAL);
