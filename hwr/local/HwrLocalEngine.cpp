#include "HwrLocalEngine.h"

#include <cstring>

#include "HwrLog.h"
#include "LibraryContext.h"
#include "RecogFactory.h"

namespace hwrlocal {

HwrLocalEngine::~HwrLocalEngine() {
    hwr_engine_.reset();
    recogType_ = kRecogUnknown;
}

void HwrLocalEngine::LogStartFailure(int code) {
    QV_LOG_FAIL(QV_TAG_LOCAL, "VraHwrStartSession",
                " engine_handle->StartSession failed.(errCode:%d)", code);
}

void HwrLocalEngine::GetRecogType() {
    QV_TRACE(QV_TAG_LOCAL, "HwrLocalEngine::GetRecogType");
    recogType_ = RecogTypeFromCapKey(capkey_);
}

int HwrLocalEngine::StartSession(const qvcommon::ConfigAssistant &config) {
    static const char *const kName = "HwrLocalEngine::StartSession";
    QV_TRACE(QV_TAG_LOCAL, kName);
    if (int code = RecogEngineInterface::StartSession(config)) {
        QV_LOG_TRACE(QV_TAG_LOCAL, kName,
                     " RecogEngineInterface::StartSession failed. (errCode:%d)", code);
        return code;
    }
    GetRecogType();
    if (recogType_ == kRecogUnknown)
        return HWR_ERR_NO_RECOGNIZER;
    int code = 0;
    hwr_engine_ = CreateRecogniser(recogType_, &code);
    if (!hwr_engine_) {
        if (code == HWR_ERR_NO_MEMORY)
            QV_LOG_TRACE(QV_TAG_LOCAL, kName, " hwr_engine_ == NULL.");
        return code;
    }
    realtime_ = false;
    sessionConfig_.GetBool("realtime", realtime_);
    if (realtime_ && recogType_ != kRecogFreeStylus) {
        QV_LOG_FAIL(QV_TAG_LOCAL, kName, " only local freestylus support realtime");
        return HWR_ERR_NOT_SUPPORTED;
    }
    return hwr_engine_->InitEngine(qvcommon::LibraryContext::Instance().DataPath(), resPrefix_,
                                   realtime_);
}

int HwrLocalEngine::StopSession() {
    RecogEngineInterface::StopSession();
    return hwr_engine_ ? hwr_engine_->UninitEngine() : 0;
}

int HwrLocalEngine::Recog(const int16_t *strokes, uint32_t length,
                          const qvcommon::ConfigAssistant &callConfig, HwrRecogResult *result) {
    qvcommon::ConfigAssistant merged;
    MergeConfig(callConfig, merged);
    if (static_cast<uint64_t>(accumulated_) + length > kMaxStrokeBytes)
        return HWR_ERR_TOO_LARGE;
    if (accumulated_ == 0)
        BeginUsage(merged);
    const uint32_t at = accumulated_ & ~1u;
    std::memcpy(reinterpret_cast<unsigned char *>(strokes_) + at, strokes, length);
    accumulated_ = at + length;
    const uint32_t values = length / 2;
    const bool end = values >= 2 && strokes[values - 1] == -1 && strokes[values - 2] == -1;
    uint32_t keep = 0;
    if (!realtime_) {
        AddUsageData(strokes, static_cast<int32_t>(length), true);
    } else if (!end) {
        AddUsageData(strokes, static_cast<int32_t>(length), false);
        keep = accumulated_;
    } else {
        AddUsageData(strokes, static_cast<int32_t>(length), true);
    }
    if (hwr_engine_) {
        const int code = hwr_engine_->Recog(strokes_, accumulated_, callConfig, result);
        if (code != 0) {
            accumulated_ = keep;
            return code;
        }
    }
    if (result->count > 0 && result->items && (!realtime_ || end))
        SetUsageResult(result->items[0].text ? result->items[0].text : "");
    accumulated_ = keep;
    return 0;
}

int HwrLocalEngine::ConfirmResult(const HwrConfirmItem *item) {
    if (!item || !item->text)
        return HWR_ERR_INVALID_ARG;
    SetUsageResult(item->text);
    return 0;
}

}  // namespace hwrlocal
