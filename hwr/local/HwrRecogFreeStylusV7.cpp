#include "HwrRecogFreeStylusV7.h"

#include <cstdlib>
#include <ctime>
#include <new>

#include "HwrFreeStylusV7Helper.h"
#include "HwrLog.h"
#include "StringUtil.h"
#include "Utf16.h"

namespace hwrlocal {

HwrRecogFreeStylusV7::~HwrRecogFreeStylusV7() {
    if (session_ || haveEngine_)
        UninitEngine();
    ReleaseResources();
}

uint32_t HwrRecogFreeStylusV7::GetDefaultRangeByLang() {
    if (language_ == "chinese")
        return 0x7F00;
    if (language_ == "japanese")
        return 0x700;
    if (language_ == "english")
        return 0x6;
    if (language_ == "korean")
        return 0x200;
    return 0;
}

int HwrRecogFreeStylusV7::InitEngine(const std::string &dataPath, const std::string &resPrefix,
                                     bool) {
    if (int code = ReadLangFromConfRes(resPrefix)) {
        ReleaseResources();
        return code;
    }
    if (int code = HwrFreeStylusV7Helper::Instance().InitVraEngineHandle(dataPath, resPrefix,
                                                                         engineHandle_))
        return code;
    haveEngine_ = true;
    return GetEngineSession();
}

int HwrRecogFreeStylusV7::GetEngineSession() {
    static const char *const kName = "HwrRecogFreeStylusV7::GetEngineSession";
    const iWFS_Engine *engine = HwrFreeStylusV7Helper::Instance().Engine(engineHandle_);
    size_t size = 0;
    int code = iWFS_Session_GetBufSize(engine, &size);
    if (code != 0) {
        QV_LOG_FAIL(QV_TAG_LOCAL, kName, " Get session buffer size failed(%d).", code);
        EngineSessionStop();
        return HWR_ERR_ENGINE;
    }
    // Plain heap memory: about 80 MB reserved, of which a writing touches only what it needs.
    sessionBuffer_ = std::malloc(size);
    if (!sessionBuffer_) {
        QV_LOG_FAIL(QV_TAG_LOCAL, kName, " Get session stack memory failed.");
        EngineSessionStop();
        return HWR_ERR_NO_MEMORY;
    }
    code = iWFS_Session_Init(engine, sessionBuffer_, size, &session_);
    if (code != 0) {
        QV_LOG_FAIL(QV_TAG_LOCAL, kName, " Session Init Failed(%d).", code);
        session_ = nullptr;
        EngineSessionStop();
        return HWR_ERR_ENGINE;
    }
    return 0;
}

int HwrRecogFreeStylusV7::EngineSessionStop() {
    int result = 0;
    if (session_) {
        const int code = iWFS_Session_Uninit(session_);
        if (code != 0) {
            QV_LOG_FAIL(QV_TAG_LOCAL, "HwrRecogFreeStylusV7::EngineSessionStop",
                        " iWFS_Session_Uninit failed(%d).", code);
            result = HWR_ERR_ENGINE;
        }
        session_ = nullptr;
    }
    std::free(sessionBuffer_);
    sessionBuffer_ = nullptr;
    return result;
}

int HwrRecogFreeStylusV7::UninitEngine() {
    const int code = EngineSessionStop();
    if (haveEngine_) {
        HwrFreeStylusV7Helper::Instance().ReleaseVraEngineHandle(engineHandle_);
        haveEngine_ = false;
    }
    ResetResultList();
    return code;
}

int HwrRecogFreeStylusV7::SetConfig(const qvcommon::ConfigAssistant &config) {
    static const char *const kName = "HwrRecogFreeStylusV7::SetConfig";
    const iWFS_ResultFunction fn = &HwrRecogFreeStylusV7::iFWS_Result;
    void *self = this;
    if (iWFS_Session_SetParam(session_, kWfsResultFunction, &fn) != 0 ||
        iWFS_Session_SetParam(session_, kWfsResultContext, &self) != 0)
        return HWR_ERR_CONFIG;
    // This recogniser writes letters only.
    const std::string range = config.Get("recogrange");
    for (const std::string &w : qvcommon::Tokenize(range, "+")) {
        const std::string word = qvcommon::Trim(w);
        if (word.empty())
            continue;
        if (word != "alphabet" && word != "upper" && word != "lower")
            return HWR_ERR_NOT_SUPPORTED;
    }
    uint8_t flags[36] = {};
    static const struct {
        const char *word;
        int flag;
    } kFlags[] = {{"alphabet", 3}, {"upper", 2},       {"lower", 1},  {"number", 0}, {"alnum", 4},
                  {"punct", 6},    {"punctuation", 6}, {"symbol", 5}, {"sympun", 7}};
    bool any = false;
    for (const auto &f : kFlags)
        if (range.find(f.word) != std::string::npos) {
            flags[f.flag] = 1;
            any = true;
        }
    if (!any)
        flags[3] = 1;
    if (iWFS_Session_SetParam(session_, kWfsCharSet, flags) != 0) {
        QV_LOG_TRACE(QV_TAG_LOCAL, kName, " Set CharSet Error.");
        return HWR_ERR_NOT_SUPPORTED;
    }
    const int32_t candidates = static_cast<int32_t>(std::atol(config.Get("candnum").c_str()));
    if (iWFS_Session_SetParam(session_, kWfsCandidates, &candidates) != 0)
        QV_LOG_TRACE(QV_TAG_LOCAL, kName, " Set Candidate Number Error.");
    const std::string mode = config.Get("splitmode");
    int32_t split;
    if (mode == "single") {
        split = 0;
    } else if (mode == "line") {
        split = 1;
    } else {
        QV_LOG_TRACE(QV_TAG_LOCAL, kName, " Writting Mode Unsupport.");
        return HWR_ERR_NOT_SUPPORTED;
    }
    const int code = iWFS_Session_SetParam(session_, kWfsSplitMode, &split);
    if (code != 0)
        QV_LOG_TRACE(QV_TAG_LOCAL, kName, " Set Writting Mode Error.");
    return code;
}

void HwrRecogFreeStylusV7::iFWS_Result(void *context, const uint16_t *text, int length, float) {
    QV_LOG_TRACE(QV_TAG_LOCAL, "HwrRecogFreeStylusV7::iFWS_Result", " iFWS_Result %d", length);
    if (length <= 0)
        return;
    auto *self = static_cast<HwrRecogFreeStylusV7 *>(context);
    try {
        qvcommon::RecogCandidate item;
        item.values.assign(text, text + length);
        item.text = Utf16ToUtf8(text, length);
        self->results_.push_back(std::move(item));
    } catch (const std::bad_alloc &) {
        QV_LOG_TRACE(QV_TAG_LOCAL, "HwrRecogFreeStylusV7::iFWS_Result", " new failed.");
    }
}

int HwrRecogFreeStylusV7::Recog(const int16_t *strokes, uint32_t length,
                                const qvcommon::ConfigAssistant &config, HwrRecogResult *result) {
    static const char *const kName = "HwrRecogFreeStylusV7::Recog";
    result->items = nullptr;
    result->count = 0;
    if (!session_)
        return HWR_ERR_ENGINE;
    if (int code = SetConfig(config))
        return code;
    const uint32_t n = length / 2;
    int32_t *values = new (std::nothrow) int32_t[n ? n : 1];
    if (!values) {
        QV_LOG_TRACE(QV_TAG_LOCAL, kName, " new error.");
        return HWR_ERR_NO_MEMORY;
    }
    QV_LOG_INFO(QV_TAG_LOCAL, kName, " uiStrokeDataLen : <%d>", static_cast<int>(length));
    for (uint32_t i = 0; i < n; ++i)
        values[i] = strokes[i];  // sign-extended
    ResetResultList();
    const clock_t start = clock();
    const int code = iWFS_Session_Recognize(session_, values, static_cast<int>(n / 2));
    QV_LOG_INFO(QV_TAG_LOCAL, kName, " iWFS_Session_Recognize time: %lu",
                static_cast<unsigned long>(clock() - start));
    QV_LOG_INFO(QV_TAG_LOCAL, kName, " ErrCode:<%d>", code);
    delete[] values;
    if (code == kWfsNothingRecognised) {
        QV_LOG_FAIL(QV_TAG_LOCAL, kName, " Empty result.");
        return HWR_ERR_ENGINE;
    }
    if (code != 0)
        return HWR_ERR_ENGINE;
    const int fill = qvcommon::FillRecogResult(result, results_);
    if (fill != 0)
        QV_LOG_FAIL(QV_TAG_LOCAL, kName, " new failed.");
    return fill;
}

}  // namespace hwrlocal
