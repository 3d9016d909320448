// One open session of the front end: its configuration, its slot id and the plug-in library that
// serves its capability key.
#pragma once

#include <cstdint>

#include "ConfigAssistant.h"

class IDllInterface;

class SessionInterface {
  public:
    SessionInterface() = default;
    virtual ~SessionInterface();
    SessionInterface(const SessionInterface &) = delete;
    SessionInterface &operator=(const SessionInterface &) = delete;

    virtual void SetDllInterface(IDllInterface *dll) { dll_ = dll; }
    virtual int Start(const qvcommon::ConfigAssistant &config) = 0;
    virtual int Stop() = 0;
    virtual int PreStop() { return 0; }
    virtual bool GetFlag() const { return flag_; }
    // out = the session configuration with the call's keys (less the reserved ones) over it.
    virtual void MergeConfig(const qvcommon::ConfigAssistant &callConfig,
                             qvcommon::ConfigAssistant &out);
    virtual void SetConfig(const qvcommon::ConfigAssistant &config) { config_ = config; }
    // Keys a call may not change: capkey and appkey.
    virtual void RemoveReserved(qvcommon::ConfigAssistant &config);
    virtual void SetFlag(bool flag) { flag_ = flag; }

    uint32_t Id() const { return id_; }
    void SetId(uint32_t id) { id_ = id; }
    const qvcommon::ConfigAssistant &Config() const { return config_; }

  protected:
    qvcommon::ConfigAssistant config_;
    uint32_t id_ = 0;
    IDllInterface *dll_ = nullptr;  // not owned
    bool flag_ = true;
};
