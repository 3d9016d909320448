#include "SessionInterface.h"

#include "HwrLog.h"

SessionInterface::~SessionInterface() {
    QV_TRACE(QV_TAG_COMMON, "SessionInterface::~SessionInterface");
    config_.Clear();
}

void SessionInterface::MergeConfig(const qvcommon::ConfigAssistant &callConfig,
                                   qvcommon::ConfigAssistant &out) {
    out = config_;
    qvcommon::ConfigAssistant call = callConfig;
    RemoveReserved(call);
    out.Merge(call);
}

void SessionInterface::RemoveReserved(qvcommon::ConfigAssistant &config) {
    config.RemoveItem("capkey");
    config.RemoveItem("appkey");
}
