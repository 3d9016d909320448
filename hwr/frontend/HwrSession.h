// A session on a recognition or association plug-in: forwards each request to the plug-in's
// entry point and deep-copies the plug-in's result into the caller's record.
#pragma once

#include <cstdint>

#include "SessionInterface.h"
#include "vra_hwr.h"

class HwrDllInterface;

class HwrSession : public SessionInterface {
  public:
    HwrSession();
    ~HwrSession() override;

    int Start(const qvcommon::ConfigAssistant &config) override;
    int Stop() override;
    // Only realtime is reserved: it belongs to the session.
    void RemoveReserved(qvcommon::ConfigAssistant &config) override;

    int Recog(const int16_t *strokes, uint32_t length, const qvcommon::ConfigAssistant &config,
              HwrRecogResult *out);
    int GetPinYin(const qvcommon::ConfigAssistant &config, const char *word, HwrPinyinResult *out);
    int GetAssociateWords(const qvcommon::ConfigAssistant &config, const char *words,
                          HwrAssociateResult *out);
    int WordsAdjust(const qvcommon::ConfigAssistant &config, const char *words);
    int GetPenScript(const qvcommon::ConfigAssistant &config, int32_t x, int32_t y,
                     HwrPenScriptResult *out);
    int ConfirmResult(const HwrConfirmItem *item);

    // Deep copies into front-end memory; false (out left empty) when memory runs out.
    static bool CopyHwrRecogResult(const HwrRecogResult &from, HwrRecogResult *out);
    static bool CopyHwrPinYinResult(const HwrPinyinResult &from, HwrPinyinResult *out);
    static bool CopyHwrAssociateResult(const HwrAssociateResult &from, HwrAssociateResult *out);
    static bool CopyHwrPenSciptResult(const HwrPenScriptResult &from, HwrPenScriptResult *out);

    // Frees a front-end copy and leaves the record empty.
    static void FreeRecogResult(HwrRecogResult *r);
    static void FreeTextList(char **&items, uint32_t &count);
    static void FreePenScriptResult(HwrPenScriptResult *r);

    bool IsRealtime() const { return realtime_; }
    uint32_t PluginHandle() const { return pluginHandle_; }

  private:
    HwrDllInterface *Dll() const;

    uint32_t pluginHandle_ = 0;
    bool realtime_ = false;
};
