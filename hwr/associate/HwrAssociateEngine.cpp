#include "HwrAssociateEngine.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>

#include "HwrAssociateHelper.h"
#include "HwrLog.h"
#include "LibraryContext.h"
#include "PluginResults.h"
#include "ReplacingFileWriter.h"
#include "TextCodec.h"
#include "vra_sys.h"

namespace wa {
namespace {

constexpr int kDefaultCandNum = 16;
constexpr size_t kMaxAdjustUnits = 15;
constexpr size_t kMinAdjustUnits = 2;

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

const iWWA_Char *Units(const std::u16string &text) {
    return reinterpret_cast<const iWWA_Char *>(text.c_str());
}

}  // namespace

HwrAssociateEngine::~HwrAssociateEngine() = default;

bool HwrAssociateEngine::IsEnglishText(const char *text) {
    for (const char *p = text; *p; ++p) {
        const char c = *p;
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && c != ' ' && c != '\t' && c != '\'' && c != '-')
            return false;
    }
    return true;
}

void HwrAssociateEngine::LogStartFailure(int) {
    QV_LOG_FAIL(QV_TAG_ASSOCIATE, "VraHwrStartSession", " StartSession failed.");
}

int HwrAssociateEngine::StartSession(const qvcommon::ConfigAssistant &config) {
    static const char *kName = "HwrAssociateEngine::StartSession";
    QV_TRACE(QV_TAG_ASSOCIATE, kName);
    int code = RecogEngineInterface::StartSession(config);
    if (code != 0)
        return code;
    std::string userDictPath;
    if (!sessionConfig_.GetValue("userdatapath", userDictPath)) {
        userDictPath = std::string(VRA_GetAuthPath()) + "/wa.user.dct";
        QV_LOG_TRACE(QV_TAG_ASSOCIATE, kName,
                     " userDataPath is not exist\xef\xbc\x8cusing default path");
    }
    code = HwrAssociateHelper::Instance().InitVraEngineHandle(
        qvcommon::LibraryContext::Instance().DataPath(), userDictPath, resPrefix_, record_);
    if (code != 0)
        return code;
    code = GetEngineSession();
    if (code != 0) {
        // The record's use goes back with the failed start.
        HwrAssociateHelper::Instance().ReleaseVraEngineHandle(record_->handle);
        record_ = nullptr;
    }
    return code;
}

int HwrAssociateEngine::GetEngineSession() {
    static const char *kName = "HwrAssociateEngine::GetEngineSession";
    QV_TRACE(QV_TAG_ASSOCIATE, kName);
    uint32_t size = 0;
    int code = iWWA_Session_GetSize(record_->engine, &size);
    if (code != iWWA_OK) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " Get session buffer size failed(%d).", code);
        return HWR_ERR_ENGINE;
    }
    sessionMemory_.reset(static_cast<uint8_t *>(std::aligned_alloc(16, (size + 15) & ~15u)));
    if (!sessionMemory_) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " Get session stack memory failed.");
        return HWR_ERR_NO_MEMORY;
    }
    // 32-bit fields, as the engine's trace has always shown them.
    QV_LOG_TRACE(QV_TAG_ASSOCIATE, kName,
                 " iWWA_Session_Init(hEngine:%0x, pSessionStack:%0x, u32StackSize:%d, ",
                 static_cast<unsigned>(reinterpret_cast<uintptr_t>(record_->engine)),
                 static_cast<unsigned>(reinterpret_cast<uintptr_t>(sessionMemory_.get())),
                 static_cast<int>(size));
    code = iWWA_Session_Init(record_->engine, sessionMemory_.get(), size, &session_);
    if (code != iWWA_OK) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " Session Init Failed(%d).", code);
        session_ = nullptr;
        sessionMemory_.reset();
        return HWR_ERR_ENGINE;
    }
    return 0;
}

int HwrAssociateEngine::SetConfig(const qvcommon::ConfigAssistant &config, bool english) {
    static const char *kName = "HwrAssociateEngine::SetConfig";
    int code;
    if (!english) {
        const int32_t mode =
            config.Get("associatemodel") == "multi" ? iWWA_MODE_MULTI : iWWA_MODE_SINGLE;
        if ((code = iWWA_Session_SetParam(session_, iWWA_PARAM_MODE, &mode)) != iWWA_OK) {
            QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " Set associatingmode failed(%d).", code);
            return code;
        }
    }
    int candnum = kDefaultCandNum;
    config.GetInt("candnum", candnum);
    const int32_t limit = candnum;
    if ((code = iWWA_Session_SetParam(session_, iWWA_PARAM_CANDNUM, &limit)) != iWWA_OK)
        QV_LOG_WARN(QV_TAG_ASSOCIATE, kName, " Set associate candnum failed(%d).", code);
    if ((code = iWWA_Session_SetParam(session_, iWWA_PARAM_CALLBACK,
                                      reinterpret_cast<const void *>(&WaResult))) != iWWA_OK) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " Set callback function failed(%d).", code);
        return code;
    }
    return iWWA_Session_SetParam(session_, iWWA_PARAM_USERDATA, this);
}

void HwrAssociateEngine::WaResult(void *self, const iWWA_Char *text, uint32_t length) {
    auto *engine = static_cast<HwrAssociateEngine *>(self);
    try {
        engine->candidates_.push_back(
            Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t *>(text), length)));
    } catch (const std::bad_alloc &) {
        QV_LOG_TRACE(QV_TAG_ASSOCIATE, "HwrAssociateEngine::WaResult", " strdup_safe failed!");
    }
}

int HwrAssociateEngine::GetAssociateWords(const qvcommon::ConfigAssistant &config,
                                          const char *words, HwrAssociateResult *result) {
    static const char *kName = "HwrAssociateEngine::GetWords";
    QV_TRACE(QV_TAG_ASSOCIATE, kName);
    bool recursive = true;
    config.GetBool("recursive", recursive);
    const int code = SetConfig(config, IsEnglishText(words));
    if (code != 0) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " Set config failed(%d).", code);
        return HWR_ERR_CONFIG;
    }
    candidates_.clear();
    std::u16string text;
    if (!Utf8ToUtf16(words, &text)) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " words are not UTF-8.");
        return HWR_ERR_INVALID_ARG;
    }
    const int64_t start = NowMs();
    QV_LOG_INFO(QV_TAG_ASSOCIATE, kName,
                " --------------------------------:iWWA_Session_Associate start time: <%lld>",
                static_cast<long long>(start));
    const int rc = iWWA_Session_Associate(session_, Units(text), recursive ? 1 : 0);
    const int64_t over = NowMs();
    QV_LOG_INFO(QV_TAG_ASSOCIATE, kName,
                " --------------------------------:iWWA_Session_Associate over time: <%lld>",
                static_cast<long long>(over));
    QV_LOG_INFO(QV_TAG_ASSOCIATE, kName,
                " --------------------------------:iWWA_Session_Associate time: <%lld>",
                static_cast<long long>(over - start));
    if (rc != iWWA_OK) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " Session Associate failed(%d).", rc);
        return HWR_ERR_ENGINE;
    }
    if (qvcommon::FillTextResult(result, candidates_) != 0) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " new failed.");
        return HWR_ERR_NO_MEMORY;
    }
    return 0;
}

int HwrAssociateEngine::AssociateAdjustWords(const qvcommon::ConfigAssistant &config,
                                             const char *words) {
    static const char *kName = "HwrAssociateEngine::WordsAdjust";
    QV_TRACE(QV_TAG_ASSOCIATE, kName);
    if (IsEnglishText(words)) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " Word-freq-adjust not supported for English words.");
        return HWR_ERR_NOT_SUPPORTED;
    }
    qvcommon::ConfigAssistant merged;
    MergeConfig(config, merged);
    BeginUsage(merged);
    AddUsageData(words, static_cast<int32_t>(std::strlen(words)), true);
    return WordFreqAdjust(words);
}

int HwrAssociateEngine::WordFreqAdjust(const char *words) {
    static const char *kName = "HwrAssociateEngine::WordFreqAdjust";
    std::u16string word;
    if (!Utf8ToUtf16(words, &word)) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " Word<%s> is not UTF-8.", words);
        return HWR_ERR_INVALID_ARG;
    }
    QV_LOG_TRACE(QV_TAG_ASSOCIATE, kName, " %d unicode words used, %d allocated.",
                 static_cast<int>(word.size()), static_cast<int>(std::strlen(words) + 1));
    if (word.size() > kMaxAdjustUnits) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName,
                    " Word<%s> length to adjust is too long( at most 15 characters ).", words);
        return HWR_ERR_TOO_LARGE;
    }
    if (word.size() < kMinAdjustUnits) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName,
                    " Word<%s> length to adjust is too short( at least 2 characters ).", words);
        return HWR_ERR_INVALID_ARG;
    }
    QV_LOG_INFO(QV_TAG_ASSOCIATE, kName, " Adjust word-freq.");
    const int code = iWWA_Session_AdjustWord(session_, Units(word));
    if (code != iWWA_OK) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " Adjust words=<%s> len=<%d> word-freq failed(%d).",
                    words, static_cast<int>(word.size()), code);
        return HWR_ERR_ENGINE;
    }
    return 0;
}

void HwrAssociateEngine::SaveUserDict() {
    static const char *kName = "HwrAssociateEngine::StopSession";
    const void *block = nullptr;
    uint32_t length = 0;
    if (iWWA_Session_GetUserDict(session_, &block, &length) != iWWA_OK)
        return;
    const std::string &path = record_->userDictPath;
    WriteFailure failure;
    if (WriteReplacing(path, block, length, &failure))
        return;
    if (failure.stage == WriteFailure::kCreate) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " %s \n", std::strerror(failure.error));
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " Open user dictionary file %s failed.", path.c_str());
    } else {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName,
                    " fwrite() error! Writing user dictionary to file failed.");
    }
}

int HwrAssociateEngine::EngineSessionStop() {
    static const char *kName = "HwrAssociateEngine::EngineSessionStop";
    if (session_) {
        const int code = iWWA_Session_Uninit(&session_);
        if (code != iWWA_OK) {
            QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " iWWA_Session_Uninit failed(%d).", code);
            return HWR_ERR_ENGINE;
        }
    }
    sessionMemory_.reset();
    return 0;
}

int HwrAssociateEngine::StopSession() {
    static const char *kName = "HwrAssociateEngine::StopSession";
    QV_TRACE(QV_TAG_ASSOCIATE, kName);
    int code = RecogEngineInterface::StopSession();
    if (code != 0) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " RecogEngineInterface::StopSession failed(%d).",
                    code);
        return HWR_ERR_NO_RECOGNIZER;
    }
    if (session_)
        SaveUserDict();
    if ((code = EngineSessionStop()) != 0) {
        QV_LOG_FAIL(QV_TAG_ASSOCIATE, kName, " EngineSessionStop failed(%d).", code);
        return code;
    }
    code = 0;
    if (record_) {
        code = HwrAssociateHelper::Instance().ReleaseVraEngineHandle(record_->handle);
        record_ = nullptr;
    }
    return code;
}

}  // namespace wa
