// The base of every plug-in engine (one engine object per session): the session's configuration
// and keys, its usage record, and the shared engine handle from the library's cache.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ConfigAssistant.h"
#include "EngineHelper.h"
#include "UsageRecord.h"

namespace qvcommon {

class RecogEngineInterface {
  public:
    RecogEngineInterface() = default;
    // Deletes an open usage record without submitting it.
    virtual ~RecogEngineInterface() = default;
    RecogEngineInterface(const RecogEngineInterface &) = delete;
    RecogEngineInterface &operator=(const RecogEngineInterface &) = delete;

    // Takes the session configuration and reads capkey, appkey (default: the system library's),
    // calltype and resPrefix; with an engine helper set, fetches the shared engine handle.
    virtual int StartSession(const ConfigAssistant &config);
    // Submits and deletes the open usage record; 0.
    virtual int StopSession();
    // out = the session configuration with the call's keys over it.
    virtual bool MergeConfig(const ConfigAssistant &callConfig, ConfigAssistant &out);
    virtual std::string GetAppKey() { return appkey_; }
    virtual std::string GetCapKey() { return capkey_; }
    // The third '.'-piece of the capability key (letter in hwr.local.letter), or "".
    virtual std::string GetCapKind() { return capKind_; }
    virtual int GetCallType() { return calltype_; }
    // Submits an open record, then opens a new one configured from `config`.
    virtual void BeginUsage(const ConfigAssistant &config);
    // These three act on the open record and do nothing without one.
    virtual void AddUsageData(const void *bytes, int32_t length, bool complete);
    virtual void SetUsageResult(const std::string &text);
    virtual void ConfigureUsage(const ConfigAssistant &config);

    const ConfigAssistant &SessionConfig() const { return sessionConfig_; }
    const std::string &ResPrefix() const { return resPrefix_; }
    uint32_t EngineHandle() const { return engineHandle_; }
    UsageRecord *Usage() { return usage_.get(); }

  protected:
    // The handle cache lookup (EngineHandleCache::GetHandle).
    int GetVraEngineHandle(EngineHelper *helper, const std::string &prefix, uint32_t &handle);
    // Submits and deletes the open usage record, if any.
    void SubmitUsage();

    ConfigAssistant sessionConfig_;
    std::string resPrefix_;
    std::string appkey_;
    std::string capkey_;
    std::unique_ptr<UsageRecord> usage_;
    int calltype_ = 0;
    std::string capKind_;
    uint32_t engineHandle_ = 0;
    // Set by an engine before the base StartSession to have the base fetch its shared handle.
    EngineHelper *engineHelper_ = nullptr;
};

}  // namespace qvcommon
