// The fourteen exported functions of libvra_hwr.so. Nothing throws across this boundary.
#include <new>

#include "HwrLog.h"
#include "HwrSdk.h"
#include "vra_hwr.h"

namespace {

template <class F>
int Guarded(const char *name, F &&f) {
    qvcommon::TraceScope trace(QV_TAG_FRONTEND, name);
    try {
        return f(HwrSdk::GetInstance());
    } catch (const std::bad_alloc &) {
        return HWR_ERR_NO_MEMORY;
    } catch (...) {
        return HWR_ERR_ENGINE;
    }
}

}  // namespace

extern "C" {

int vra_hwr_init(const char *config) {
    return Guarded("vra_hwr_init", [&](HwrSdk &sdk) { return sdk.Init(config); });
}

int vra_hwr_session_start(const char *config, uint32_t *session_id) {
    return Guarded("vra_hwr_session_start",
                   [&](HwrSdk &sdk) { return sdk.StartSession(config, session_id); });
}

int vra_hwr_recog(uint32_t session_id, const int16_t *strokes, uint32_t length_bytes,
                  const char *config, HwrRecogResult *result) {
    return Guarded("vra_hwr_recog", [&](HwrSdk &sdk) {
        return sdk.Recog(session_id, strokes, length_bytes, config, result);
    });
}

int vra_hwr_free_recog_result(HwrRecogResult *result) {
    return Guarded("vra_hwr_free_recog_result",
                   [&](HwrSdk &sdk) { return sdk.FreeRecogResult(result); });
}

int vra_hwr_pinyin(uint32_t session_id, const char *config, const char *word,
                   HwrPinyinResult *result) {
    return Guarded("vra_hwr_pinyin",
                   [&](HwrSdk &sdk) { return sdk.GetPinYin(session_id, config, word, result); });
}

int vra_hwr_free_pinyin_result(HwrPinyinResult *result) {
    return Guarded("vra_hwr_free_pinyin_result",
                   [&](HwrSdk &sdk) { return sdk.FreePinYinResult(result); });
}

int vra_hwr_associate_words(uint32_t session_id, const char *config, const char *words,
                            HwrAssociateResult *result) {
    return Guarded("vra_hwr_associate_words",
                   [&](HwrSdk &sdk) { return sdk.GetWords(session_id, config, words, result); });
}

int vra_hwr_associate_words_adjust(uint32_t session_id, const char *config, const char *words) {
    return Guarded("vra_hwr_associate_words_adjust",
                   [&](HwrSdk &sdk) { return sdk.WordsAdjust(session_id, config, words); });
}

int vra_hwr_free_associate_words_result(HwrAssociateResult *result) {
    return Guarded("vra_hwr_free_associate_words_result",
                   [&](HwrSdk &sdk) { return sdk.FreeAssociateWordsResult(result); });
}

int vra_hwr_pen_script(uint32_t session_id, const char *config, int32_t x, int32_t y,
                       HwrPenScriptResult *result) {
    return Guarded("vra_hwr_pen_script",
                   [&](HwrSdk &sdk) { return sdk.GetPenScript(session_id, config, x, y, result); });
}

int vra_hwr_free_pen_script_result(HwrPenScriptResult *result) {
    return Guarded("vra_hwr_free_pen_script_result",
                   [&](HwrSdk &sdk) { return sdk.FreePenScriptResult(result); });
}

int vra_hwr_confirm(uint32_t session_id, const HwrConfirmItem *item) {
    return Guarded("vra_hwr_confirm",
                   [&](HwrSdk &sdk) { return sdk.ConfirmResult(session_id, item); });
}

int vra_hwr_session_stop(uint32_t session_id) {
    return Guarded("vra_hwr_session_stop",
                   [&](HwrSdk &sdk) { return sdk.StopSession(session_id); });
}

int vra_hwr_release(void) {
    return Guarded("vra_hwr_release", [&](HwrSdk &sdk) { return sdk.Release(); });
}

}  // extern "C"
