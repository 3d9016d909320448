#include "UsageRecord.h"

#include <sys/time.h>

#include <cstdio>

#include "ConfigAssistant.h"
#include "vra_sys.h"

namespace qvcommon {

int64_t UsageRecord::NowMs() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<int64_t>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
}

void UsageRecord::Configure(const ConfigAssistant &config) {
    info_.clear();
    ConfigAssistant copy = config;
    capkey_ = copy.Get("capkey");
    appkey_ = copy.Get("appkey");
    copy.RemoveItem("appkey");
    copy.RemoveItem("sessionid");
    info_ = copy.ToString();
}

void UsageRecord::AddData(const void *bytes, int32_t length, bool complete) {
    if (pieces_.empty())
        startTime_ = NowMs();
    if (pieces_.size() > kMaxPieces) {
        result_.clear();
        joined_.clear();
        pieces_.clear();
    }
    Piece piece{{}, length, complete};
    if (bytes && length > 0) {
        const auto *p = static_cast<const uint8_t *>(bytes);
        piece.bytes.assign(p, p + length);
    }
    pieces_.push_back(std::move(piece));
}

void UsageRecord::SetResult(const std::string &text) {
    if (text.empty())
        return;
    processingTime_ = NowMs() - startTime_;
    result_.assign(text.begin(), text.end());
}

void UsageRecord::Submit() {
    char buf[128];
    snprintf(buf, sizeof buf, ",ReqTime=%lld,ProcTime=%lld",
             static_cast<long long>(startTime_ / 1000), static_cast<long long>(processingTime_));
    info_ += buf;
    double latitude = 0, longitude = 0;
    VRA_GetLocation(&latitude, &longitude);
    if (latitude != 0 || longitude != 0) {
        snprintf(buf, sizeof buf, "%slatitude=%lf,longitude=%lf", info_.empty() ? "" : ",",
                 latitude, longitude);
        info_ += buf;
    }
    joined_.clear();
    for (const Piece &p : pieces_)
        joined_.insert(joined_.end(), p.bytes.begin(), p.bytes.end());

    VraUserHisItem item{};
    item.appkey = appkey_.c_str();
    item.capkey = capkey_.c_str();
    item.info_len = static_cast<unsigned int>(info_.size());
    item.data_len = static_cast<unsigned int>(joined_.size());
    item.result_len = static_cast<unsigned int>(result_.size());
    item.info = info_.c_str();
    item.data = joined_.empty() ? nullptr : joined_.data();
    item.result = result_.empty() ? nullptr : result_.data();
    vra_append_user_his_item(&item);
}

}  // namespace qvcommon
