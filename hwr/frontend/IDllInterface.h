// The wrapper of one loaded plug-in library: load once, initialise, release and unload.
#pragma once

#include <string>

#include "CQThreadMutex.h"
#include "ConfigAssistant.h"

class IDllInterface {
  public:
    IDllInterface() = default;
    virtual ~IDllInterface() = default;
    IDllInterface(const IDllInterface &) = delete;
    IDllInterface &operator=(const IDllInterface &) = delete;

    // Loads the file when nothing is loaded yet and initialises the plug-in; 23 when the file
    // cannot be loaded, else the code of Init (after which the library is unloaded again).
    virtual int Load(const std::string &fileName, const qvcommon::ConfigAssistant &initConfig);
    // Releases the plug-in and unloads the library; 0.
    virtual int UnLoad();
    virtual int Init(const qvcommon::ConfigAssistant &initConfig) = 0;
    virtual int Release() = 0;
    virtual void *OS_LoadLibrary(const std::string &fileName) = 0;
    virtual void *GetProcAddress(const char *name) = 0;
    virtual bool OS_FreeLibrary(void *handle) = 0;

    const std::string &FileName() const { return fileName_; }
    bool IsLoaded() const { return handle_ != nullptr; }

  protected:
    void *handle_ = nullptr;
    std::string fileName_;
    qvcommon::CQThreadMutex lock_;
};
