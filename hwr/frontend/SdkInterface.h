// The front end's central object: the session table, the loaded plug-in libraries and the
// capability routing, all under one recursive lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "CQThreadMutex.h"
#include "ConfigAssistant.h"

class IDllInterface;
class SessionInterface;

class SdkInterface {
  public:
    static constexpr uint32_t kSlots = 256;
    static constexpr int kModuleCode = 2;

    SdkInterface() = default;
    virtual ~SdkInterface();
    SdkInterface(const SdkInterface &) = delete;
    SdkInterface &operator=(const SdkInterface &) = delete;

    virtual int Init(const std::string &config);
    virtual int Release();
    virtual int StartSession(const qvcommon::ConfigAssistant &config, uint32_t *id);
    virtual int StopSession(uint32_t id);
    virtual bool IsInited();
    virtual void UnloadAll();
    virtual int CreateSession(SessionInterface *&session) = 0;
    virtual int GetDllName(const std::string &capkey, std::string &fileName) = 0;
    virtual IDllInterface *CreateDllInterface() = 0;
    virtual bool IsHwrCapkey(const std::string &capkey) = 0;
    virtual IDllInterface *FindDllInterface(const std::string &fileName);
    virtual int PrepareForCapkey(const std::string &capkey, qvcommon::ConfigAssistant &config);

    // The session in slot `id`, or null.
    SessionInterface *GetSession(uint32_t id);
    int ApplyServiceUrl(const std::string &capkey, std::string &address);

  protected:
    SessionInterface *slots_[kSlots] = {};
    uint32_t sessionCount_ = 0;
    qvcommon::CQThreadMutex lock_;
    int maxSessions_ = 2;
    bool initialised_ = false;
    std::string dataPath_;
    std::string fileFlag_;
    qvcommon::ConfigAssistant initConfig_;
    std::map<std::string, IDllInterface *> libraries_;     // file name -> library (owning)
    std::map<std::string, IDllInterface *> capabilities_;  // capability key -> library
    int moduleCode_ = kModuleCode;
    // Folder searched first for plug-in files (the init key pluginpath).
    std::string pluginPath_;
};
