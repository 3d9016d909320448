#include "HwrSdk.h"

#include <cstring>
#include <new>

#include "HwrDllInterface.h"
#include "HwrLog.h"
#include "HwrSession.h"
#include "HwrToolFunc.h"
#include "KeyTables.h"
#include "OsAdapter.h"
#include "StringUtil.h"
#include "vra_sys.h"

using qvcommon::ConfigAssistant;

namespace {

// The failure line of a front-end request; returns the code.
int Failed(const char *name, int code) {
    QV_LOG_FAIL(QV_TAG_FRONTEND, name, " FAILED(%d:%s)", code, vra_get_error_info(code));
    return code;
}

template <class Record>
void Empty(Record *r) {
    r->items = nullptr;
    r->count = 0;
}

}  // namespace

int HwrSdk::PrepareCall(const char *config, const KeyTables::Table *table, uint32_t id,
                        ConfigAssistant &call, HwrSession *&session) {
    if (!call.ParseConfig(config))
        return HWR_ERR_CONFIG;
    if (table && call.CheckAndRebuild(table->rows, table->count) != 0)
        return HWR_ERR_CONFIG;
    session = static_cast<HwrSession *>(GetSession(id));
    return session ? 0 : HWR_ERR_NO_SESSION;
}

HwrSdk &HwrSdk::GetInstance() {
    static HwrSdk *sdk = new HwrSdk();
    return *sdk;
}

int HwrSdk::Init(const char *config) {
    static const char *kName = "HwrSdk::Init";
    if (!VRA_IsInited())
        return Failed(kName, HWR_ERR_SYS_NOT_INITED);
    if (IsInited())
        return Failed(kName, HWR_ERR_ALREADY_INITED);
    ConfigAssistant parsed;
    if (!parsed.ParseConfig(config))
        return Failed(kName, HWR_ERR_CONFIG);
    if (parsed.CheckAndRebuild(KeyTables::kInit.rows, KeyTables::kInit.count) != 0) {
        return Failed(kName, HWR_ERR_CONFIG);
    }
    int code = SdkInterface::Init(parsed.ToString());
    return code == 0 ? 0 : Failed(kName, code);
}

int HwrSdk::Release() {
    static const char *kName = "HwrSdk::Release";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    if (!IsInited())
        return Failed(kName, HWR_ERR_NOT_INITED);
    return SdkInterface::Release();  // 18 is passed on without a line
}

int HwrSdk::StartSession(const char *config, uint32_t *id) {
    static const char *kName = "HwrSdk::StartSession";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    if (!IsInited())
        return Failed(kName, HWR_ERR_NOT_INITED);
    if (!config || !id)
        return Failed(kName, HWR_ERR_INVALID_ARG);
    ConfigAssistant parsed;
    if (!parsed.ParseConfig(config))
        return Failed(kName, HWR_ERR_CONFIG);
    int code = parsed.CheckAndRebuild(KeyTables::kSession.rows, KeyTables::kSession.count);
    if (code != 0)
        return Failed(kName, code);
    return SdkInterface::StartSession(parsed, id);
}

int HwrSdk::StopSession(uint32_t id) {
    static const char *kName = "HwrSdk::StopSession";
    if (!IsInited())
        return Failed(kName, HWR_ERR_NOT_INITED);
    int code = SdkInterface::StopSession(id);
    return code == 0 || code == HWR_ERR_NO_SESSION ? code : Failed(kName, code);
}

int HwrSdk::Recog(uint32_t id, const int16_t *strokes, uint32_t length, const char *config,
                  HwrRecogResult *out) {
    static const char *kName = "HwrSdk::Recog";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    if (!IsInited())
        return Failed(kName, HWR_ERR_NOT_INITED);
    if (!strokes || !out)
        return Failed(kName, HWR_ERR_INVALID_ARG);
    Empty(out);
    if (length > HWR_MAX_STROKE_BYTES)
        return Failed(kName, HWR_ERR_TOO_LARGE);
    ConfigAssistant call;
    HwrSession *session = nullptr;
    int code = PrepareCall(config, &KeyTables::kRecog, id, call, session);
    if (code != 0)
        return Failed(kName, code);
    code = session->Recog(strokes, length, call, out);
    if (code != 0)
        return Failed(kName, code);
    QV_LOG_INFO(QV_TAG_FRONTEND, kName, " SUCCESS");
    return 0;
}

int HwrSdk::FreeRecogResult(HwrRecogResult *result) {
    static const char *kName = "HwrSdk::FreeRecogResult";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    if (!result)
        return Failed(kName, HWR_ERR_INVALID_ARG);
    HwrSession::FreeRecogResult(result);
    QV_LOG_INFO(QV_TAG_FRONTEND, kName, " SUCCESS");
    return 0;
}

int HwrSdk::GetPinYin(uint32_t id, const char *config, const char *word, HwrPinyinResult *out) {
    static const char *kName = "HwrSdk::GetPinYin";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    if (!IsInited())
        return Failed(kName, HWR_ERR_NOT_INITED);
    if (!word || !*word || !out)
        return Failed(kName, HWR_ERR_INVALID_ARG);
    Empty(out);
    ConfigAssistant call;
    HwrSession *session = nullptr;
    int code = PrepareCall(config, &KeyTables::kPinyin, id, call, session);
    if (code != 0)
        return Failed(kName, code);
    return session->GetPinYin(call, word, out);
}

int HwrSdk::FreePinYinResult(HwrPinyinResult *result) {
    static const char *kName = "HwrSdk::FreePinYinResult";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    if (!result)
        return Failed(kName, HWR_ERR_INVALID_ARG);
    HwrSession::FreeTextList(result->items, result->count);
    return 0;
}

int HwrSdk::GetWords(uint32_t id, const char *config, const char *words, HwrAssociateResult *out) {
    static const char *kName = "HwrSdk::GetWords";
    if (!IsInited())
        return Failed(kName, HWR_ERR_NOT_INITED);
    if (!words || !*words || !out)
        return Failed(kName, HWR_ERR_INVALID_ARG);
    Empty(out);
    ConfigAssistant call;
    HwrSession *session = nullptr;
    int code = PrepareCall(config, &KeyTables::kAssociate, id, call, session);
    if (code != 0)
        return Failed(kName, code);
    return session->GetAssociateWords(call, words, out);
}

int HwrSdk::WordsAdjust(uint32_t id, const char *config, const char *words) {
    static const char *kName = "HwrSdk::WordsAdjust";
    if (!IsInited())
        return Failed(kName, HWR_ERR_NOT_INITED);
    if (!words || !*words)
        return Failed(kName, HWR_ERR_INVALID_ARG);
    ConfigAssistant call;
    HwrSession *session = nullptr;
    int code = PrepareCall(config, nullptr, id, call, session);
    if (code != 0)
        return Failed(kName, code);
    return session->WordsAdjust(call, words);
}

int HwrSdk::FreeAssociateWordsResult(HwrAssociateResult *result) {
    static const char *kName = "HwrSdk::FreeAssociateWordsResult";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    if (!result)
        return Failed(kName, HWR_ERR_INVALID_ARG);
    HwrSession::FreeTextList(result->items, result->count);
    return 0;
}

int HwrSdk::GetPenScript(uint32_t id, const char *config, int32_t x, int32_t y,
                         HwrPenScriptResult *out) {
    static const char *kName = "HwrSdk::GetPenScript";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    if (!IsInited())
        return Failed(kName, HWR_ERR_NOT_INITED);
    if (!out)
        return Failed(kName, HWR_ERR_INVALID_ARG);
    Empty(out);
    if (!HwrToolFunc::IsPenPointValid(x, y))
        return Failed(kName, HWR_ERR_INVALID_ARG);
    ConfigAssistant call;
    HwrSession *session = nullptr;
    int code = PrepareCall(config, nullptr, id, call, session);
    if (code != 0)
        return Failed(kName, code);
    return session->GetPenScript(call, x, y, out);
}

int HwrSdk::FreePenScriptResult(HwrPenScriptResult *result) {
    static const char *kName = "HwrSdk::FreePenScriptResult";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    if (!result)
        return Failed(kName, HWR_ERR_INVALID_ARG);
    HwrSession::FreePenScriptResult(result);
    return 0;
}

int HwrSdk::ConfirmResult(uint32_t id, const HwrConfirmItem *item) {
    static const char *kName = "HwrSdk::ConfirmResult";
    if (!IsInited())
        return Failed(kName, HWR_ERR_NOT_INITED);
    if (!item || !item->text || !*item->text)
        return Failed(kName, HWR_ERR_INVALID_ARG);
    if (strlen(item->text) >= HWR_MAX_CONFIRM_BYTES)
        return Failed(kName, HWR_ERR_TOO_LARGE);
    auto *session = static_cast<HwrSession *>(GetSession(id));
    if (!session)
        return Failed(kName, HWR_ERR_NO_SESSION);
    return session->ConfirmResult(item);
}

int HwrSdk::CreateSession(SessionInterface *&session) {
    static const char *kName = "HwrSdk::CreateSession";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    session = new (std::nothrow) HwrSession();
    if (!session) {
        QV_LOG_FAIL(QV_TAG_FRONTEND, kName, " Allocate memory failed.");
        return HWR_ERR_NO_MEMORY;
    }
    return 0;
}

int HwrSdk::GetDllName(const std::string &capkey, std::string &fileName) {
    auto has = [&](const char *part) { return capkey.find(part) != std::string::npos; };
    if (has("local")) {
        if (has(".associateword")) {
            fileName = "vra_hwr_associate.dll";
        } else if (has(".pinyin")) {
            fileName = "vra_hwr_pinyin.dll";
        } else if (has(".penscript")) {
            fileName = "vra_hwr_penscript.dll";
        } else if (has(".freestylus") || has(".letter") || has(".gesture")) {
            fileName = "vra_hwr_local_recog.dll";
        } else {
            return HWR_ERR_NOT_SUPPORTED;
        }
        return 0;
    }
    if (has("cloud")) {
        fileName = "vra_hwr_cloud_recog.dll";
        return 0;
    }
    return HWR_ERR_NOT_SUPPORTED;
}

IDllInterface *HwrSdk::CreateDllInterface() {
    std::vector<std::string> dirs;
    if (!pluginPath_.empty())
        dirs.push_back(pluginPath_);
    dirs.push_back(OsAdapter::KitLibraryDir());
    return new (std::nothrow) HwrDllInterface(std::move(dirs));
}

bool HwrSdk::IsHwrCapkey(const std::string &capkey) {
    return qvcommon::ToLower(capkey.substr(0, 4)) == "hwr.";
}
