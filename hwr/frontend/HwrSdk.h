// The kit's one central object behind the fourteen exported functions: checks every request in
// the documented order, then hands it to the session.
#pragma once

#include <cstdint>
#include <string>

#include "KeyTables.h"
#include "SdkInterface.h"
#include "vra_hwr.h"

class HwrSession;

class HwrSdk : public SdkInterface {
  public:
    // Created on the first call and never destroyed: plug-ins may still be loaded at exit.
    static HwrSdk &GetInstance();

    int Init(const char *config);
    int Release() override;
    int StartSession(const char *config, uint32_t *id);
    int StopSession(uint32_t id) override;

    int Recog(uint32_t id, const int16_t *strokes, uint32_t length, const char *config,
              HwrRecogResult *out);
    int FreeRecogResult(HwrRecogResult *result);
    int GetPinYin(uint32_t id, const char *config, const char *word, HwrPinyinResult *out);
    int FreePinYinResult(HwrPinyinResult *result);
    int GetWords(uint32_t id, const char *config, const char *words, HwrAssociateResult *out);
    int WordsAdjust(uint32_t id, const char *config, const char *words);
    int FreeAssociateWordsResult(HwrAssociateResult *result);
    int GetPenScript(uint32_t id, const char *config, int32_t x, int32_t y,
                     HwrPenScriptResult *out);
    int FreePenScriptResult(HwrPenScriptResult *result);
    int ConfirmResult(uint32_t id, const HwrConfirmItem *item);

    int CreateSession(SessionInterface *&session) override;
    int GetDllName(const std::string &capkey, std::string &fileName) override;
    IDllInterface *CreateDllInterface() override;
    bool IsHwrCapkey(const std::string &capkey) override;

  private:
    HwrSdk() = default;
    // The checks every request makes after its own: the call configuration parses (3) and
    // passes the key table if any (3), and the session exists (16).
    int PrepareCall(const char *config, const KeyTables::Table *table, uint32_t id,
                    qvcommon::ConfigAssistant &call, HwrSession *&session);
    using SdkInterface::Init;
    using SdkInterface::StartSession;
};
