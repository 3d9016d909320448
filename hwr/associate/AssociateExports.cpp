// The fourteen entry points of libvra_hwr_associate.so over HwrAssociateEngine: start, stop,
// association, adjustment and the association result's free; the rest answer 22.
#include "HwrAssociateEngine.h"
#include "PluginFrame.h"

QV_HWR_PLUGIN(wa::HwrAssociateEngine, QV_TAG_ASSOCIATE);
