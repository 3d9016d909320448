#include "HwrSession.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "HwrDllInterface.h"
#include "HwrLog.h"
#include "HwrToolFunc.h"

namespace {

char *CopyText(const char *text) {
    if (!text)
        text = "";
    size_t n = strlen(text) + 1;
    char *p = static_cast<char *>(malloc(n));
    if (p)
        memcpy(p, text, n);
    return p;
}

template <class Record>
void Empty(Record *r) {
    r->items = nullptr;
    r->count = 0;
}

// The plug-in's texts into a new array of new strings; false when memory runs out.
bool CopyTexts(char *const *from, uint32_t count, char **&items, uint32_t &outCount,
               const char *name) {
    QV_TRACE(QV_TAG_FRONTEND, name);
    items = nullptr;
    outCount = 0;
    if (count == 0 || !from)
        return true;
    char **out = new (std::nothrow) char *[count]();
    if (!out) {
        QV_LOG_FAIL(QV_TAG_FRONTEND, name, " new failed!");
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        out[i] = CopyText(from[i]);
        if (!out[i]) {
            QV_LOG_FAIL(QV_TAG_FRONTEND, name, " new failed!");
            HwrSession::FreeTextList(out, count);
            return false;
        }
    }
    items = out;
    outCount = count;
    return true;
}

}  // namespace

HwrSession::HwrSession() {
    QV_TRACE(QV_TAG_FRONTEND, "HwrSession::HwrSession");
}

HwrSession::~HwrSession() {
    QV_TRACE(QV_TAG_FRONTEND, "HwrSession::~HwrSession");
}

HwrDllInterface *HwrSession::Dll() const {
    return static_cast<HwrDllInterface *>(dll_);
}

void HwrSession::RemoveReserved(qvcommon::ConfigAssistant &config) {
    config.RemoveItem("realtime");
}

int HwrSession::Start(const qvcommon::ConfigAssistant &config) {
    QV_TRACE(QV_TAG_FRONTEND, "HwrSession::Start");
    SetConfig(config);
    config_.GetBool("realtime", realtime_);
    if (!Dll() || !Dll()->VraHwrStartSession)
        return 23;
    return Dll()->VraHwrStartSession(&config_, &pluginHandle_);
}

int HwrSession::Stop() {
    QV_TRACE(QV_TAG_FRONTEND, "HwrSession::Stop");
    if (!Dll())
        return 0;
    if (!Dll()->VraHwrStopSession)
        return 23;
    return Dll()->VraHwrStopSession(&pluginHandle_);
}

int HwrSession::Recog(const int16_t *strokes, uint32_t length,
                      const qvcommon::ConfigAssistant &config, HwrRecogResult *out) {
    QV_TRACE(QV_TAG_FRONTEND, "HwrSession::Recog");
    qvcommon::ConfigAssistant merged;
    MergeConfig(config, merged);
    bool valid = realtime_ ? HwrToolFunc::IsStrokesValid_RealTime(strokes, length)
                           : HwrToolFunc::IsStrokesValid(strokes, length);
    if (!valid)
        return HWR_ERR_INVALID_ARG;
    HwrRecogResult plugin{nullptr, 0};
    int code = Dll()->VraHwrRecog(pluginHandle_, &merged, strokes, length, &plugin);
    if (code != 0)
        return code;  // a failing plug-in leaves nothing allocated
    bool copied = CopyHwrRecogResult(plugin, out);
    Dll()->VraHwrFreeRecogResult(&plugin);
    return copied ? 0 : HWR_ERR_NO_MEMORY;
}

int HwrSession::GetPinYin(const qvcommon::ConfigAssistant &config, const char *word,
                          HwrPinyinResult *out) {
    QV_TRACE(QV_TAG_FRONTEND, "HwrSession::GetPinYin");
    qvcommon::ConfigAssistant merged;
    MergeConfig(config, merged);
    HwrPinyinResult plugin{nullptr, 0};
    int code = Dll()->VraHwrGetPinyin(pluginHandle_, &merged, word, &plugin);
    if (code != 0)
        return code;
    bool copied = CopyHwrPinYinResult(plugin, out);
    Dll()->VraHwrFreePinyinResult(&plugin);
    return copied ? 0 : HWR_ERR_NO_MEMORY;
}

int HwrSession::GetAssociateWords(const qvcommon::ConfigAssistant &config, const char *words,
                                  HwrAssociateResult *out) {
    QV_TRACE(QV_TAG_FRONTEND, "HwrSession::GetAssociateWords");
    qvcommon::ConfigAssistant merged;
    MergeConfig(config, merged);
    HwrAssociateResult plugin{nullptr, 0};
    int code = Dll()->VraHwrGetAssociateWords(pluginHandle_, &merged, words, &plugin);
    if (code != 0)
        return code;
    bool copied = CopyHwrAssociateResult(plugin, out);
    Dll()->VraHwrFreeAssociateResult(&plugin);
    return copied ? 0 : HWR_ERR_NO_MEMORY;
}

int HwrSession::WordsAdjust(const qvcommon::ConfigAssistant &config, const char *words) {
    QV_TRACE(QV_TAG_FRONTEND, "HwrSession::WordsAdjust");
    qvcommon::ConfigAssistant merged;
    MergeConfig(config, merged);
    return Dll()->VraHwrAssociateAdjustWords(pluginHandle_, &merged, words);
}

int HwrSession::GetPenScript(const qvcommon::ConfigAssistant &config, int32_t x, int32_t y,
                             HwrPenScriptResult *out) {
    QV_TRACE(QV_TAG_FRONTEND, "HwrSession::GetPenScript");
    qvcommon::ConfigAssistant merged;
    MergeConfig(config, merged);
    HwrPenScriptResult plugin{nullptr, 0};
    int code = Dll()->VraHwrGetPenscript(pluginHandle_, &merged, x, y, &plugin);
    if (code != 0)
        return code;
    bool copied = CopyHwrPenSciptResult(plugin, out);
    Dll()->VraHwrFreePenscriptResult(&plugin);
    return copied ? 0 : HWR_ERR_NO_MEMORY;
}

int HwrSession::ConfirmResult(const HwrConfirmItem *item) {
    QV_TRACE(QV_TAG_FRONTEND, "HwrSession::ConfirmResult");
    return Dll()->VraHwrConfirmResult(pluginHandle_, item);
}

bool HwrSession::CopyHwrRecogResult(const HwrRecogResult &from, HwrRecogResult *out) {
    static const char *kName = "HwrSession::CopyHwrRecogResult";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    Empty(out);
    if (from.count == 0 || !from.items)
        return true;
    HwrRecogResult copy{new (std::nothrow) HwrRecogResultItem[from.count](), from.count};
    if (!copy.items) {
        QV_LOG_FAIL(QV_TAG_FRONTEND, kName, " new failed!");
        return false;
    }
    for (uint32_t i = 0; i < from.count; ++i) {
        const HwrRecogResultItem &src = from.items[i];
        HwrRecogResultItem &dst = copy.items[i];
        dst.text = CopyText(src.text);
        bool ok = dst.text != nullptr;
        if (ok && src.value_count != 0 && src.values) {
            dst.values = new (std::nothrow) uint16_t[src.value_count];
            ok = dst.values != nullptr;
            if (ok) {
                memcpy(dst.values, src.values, src.value_count * sizeof(uint16_t));
                dst.value_count = src.value_count;
            }
        }
        if (!ok) {
            QV_LOG_FAIL(QV_TAG_FRONTEND, kName, " new failed!");
            FreeRecogResult(&copy);
            return false;
        }
    }
    *out = copy;
    return true;
}

bool HwrSession::CopyHwrPinYinResult(const HwrPinyinResult &from, HwrPinyinResult *out) {
    return CopyTexts(from.items, from.count, out->items, out->count,
                     "HwrSession::CopyHwrPinYinResult");
}

bool HwrSession::CopyHwrAssociateResult(const HwrAssociateResult &from, HwrAssociateResult *out) {
    return CopyTexts(from.items, from.count, out->items, out->count,
                     "HwrSession::CopyHwrAssociateResult");
}

bool HwrSession::CopyHwrPenSciptResult(const HwrPenScriptResult &from, HwrPenScriptResult *out) {
    static const char *kName = "HwrSession::CopyHwrPenSciptResult";
    QV_TRACE(QV_TAG_FRONTEND, kName);
    Empty(out);
    if (from.count == 0 || !from.items)
        return true;
    HwrPenScriptResult copy{new (std::nothrow) HwrPenScriptItem[from.count](), from.count};
    if (!copy.items) {
        QV_LOG_FAIL(QV_TAG_FRONTEND, kName, " new failed!");
        return false;
    }
    for (uint32_t i = 0; i < from.count; ++i) {
        const HwrPenScriptItem &src = from.items[i];
        HwrPenScriptItem &dst = copy.items[i];
        dst = src;
        dst.data = nullptr;
        // Negative dimensions describe no block.
        const size_t n = src.dim1 > 0 && src.dim2 > 0
                             ? static_cast<size_t>(src.dim1) * static_cast<size_t>(src.dim2)
                             : 0;
        if (n != 0 && src.data) {
            dst.data = new (std::nothrow) int16_t[n];
            if (!dst.data) {
                QV_LOG_FAIL(QV_TAG_FRONTEND, kName, " new failed!");
                FreePenScriptResult(&copy);
                return false;
            }
            memcpy(dst.data, src.data, n * sizeof(int16_t));
        }
    }
    *out = copy;
    return true;
}

void HwrSession::FreeRecogResult(HwrRecogResult *r) {
    if (r->items) {
        for (uint32_t i = 0; i < r->count; ++i) {
            delete[] r->items[i].values;
            free(r->items[i].text);
        }
        delete[] r->items;
    }
    Empty(r);
}

void HwrSession::FreeTextList(char **&items, uint32_t &count) {
    if (items) {
        for (uint32_t i = 0; i < count; ++i)
            free(items[i]);
        delete[] items;
    }
    items = nullptr;
    count = 0;
}

void HwrSession::FreePenScriptResult(HwrPenScriptResult *r) {
    if (r->items) {
        for (uint32_t i = 0; i < r->count; ++i)
            delete[] r->items[i].data;
        delete[] r->items;
    }
    Empty(r);
}
