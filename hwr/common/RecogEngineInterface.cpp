#include "RecogEngineInterface.h"

#include "EngineHandleCache.h"
#include "StringUtil.h"
#include "vra_sys.h"

namespace qvcommon {

int RecogEngineInterface::StartSession(const ConfigAssistant &config) {
    sessionConfig_.Clear();
    sessionConfig_.Merge(config);
    capkey_ = sessionConfig_.Get("capkey");
    capKind_.clear();
    if (!capkey_.empty()) {
        std::vector<std::string> pieces = Tokenize(capkey_, ".");
        if (pieces.size() > 2)
            capKind_ = pieces[2];
    }
    appkey_ = sessionConfig_.Get("appkey");
    if (appkey_.empty()) {
        const char *fallback = VRA_GetDefaultAppKey();
        appkey_ = fallback ? fallback : "";
    }
    sessionConfig_.GetInt("calltype", calltype_);
    resPrefix_ = sessionConfig_.Get("resprefix");
    if (!engineHelper_)
        return 0;
    return GetVraEngineHandle(engineHelper_, resPrefix_, engineHandle_);
}

int RecogEngineInterface::StopSession() {
    SubmitUsage();
    return 0;
}

bool RecogEngineInterface::MergeConfig(const ConfigAssistant &callConfig, ConfigAssistant &out) {
    out.Clear();
    out.Merge(sessionConfig_);
    out.Merge(callConfig);
    return true;
}

void RecogEngineInterface::BeginUsage(const ConfigAssistant &config) {
    SubmitUsage();
    usage_ = std::make_unique<UsageRecord>();
    usage_->Configure(config);
}

void RecogEngineInterface::AddUsageData(const void *bytes, int32_t length, bool complete) {
    if (usage_)
        usage_->AddData(bytes, length, complete);
}

void RecogEngineInterface::SetUsageResult(const std::string &text) {
    if (usage_)
        usage_->SetResult(text);
}

void RecogEngineInterface::ConfigureUsage(const ConfigAssistant &config) {
    if (usage_)
        usage_->Configure(config);
}

int RecogEngineInterface::GetVraEngineHandle(EngineHelper *helper, const std::string &prefix,
                                             uint32_t &handle) {
    if (!helper)
        return 1;
    return EngineHandleCache::Instance().GetHandle(*helper, prefix, handle);
}

void RecogEngineInterface::SubmitUsage() {
    if (!usage_)
        return;
    usage_->Submit();
    usage_.reset();
}

}  // namespace qvcommon
