#include "SdkInterface.h"

#include <algorithm>

#include "HwrLog.h"
#include "IDllInterface.h"
#include "LibraryContext.h"
#include "SessionInterface.h"
#include "StringUtil.h"
#include "vra_sys.h"

using qvcommon::ConfigAssistant;
using qvcommon::CQThreadMutexGuard;

SdkInterface::~SdkInterface() {
    Release();
    UnloadAll();
}

int SdkInterface::Init(const std::string &config) {
    CQThreadMutexGuard guard(lock_);
    // Two threads may both have passed the caller's check; only one initialises.
    if (initialised_)
        return 301;
    maxSessions_ = VRA_GetMaxSessionCount();
    sessionCount_ = 0;
    for (SessionInterface *&slot : slots_)
        slot = nullptr;
    initConfig_.Clear();
    initConfig_.ParseConfig(config);
    fileFlag_ = initConfig_.Get("fileflag");
    dataPath_ = qvcommon::NormalizeDataPath(initConfig_.Get("datapath"));
    pluginPath_ = initConfig_.Get("pluginpath");
    for (const std::string &raw : qvcommon::Tokenize(initConfig_.Get("initcapkeys"), ";")) {
        std::string key = qvcommon::Trim(raw);
        if (key.empty() || key.find("asr.local.dialog") != std::string::npos)
            continue;
        ConfigAssistant scratch;
        int code = PrepareForCapkey(key, scratch);
        if (code != 0) {
            UnloadAll();
            return code;
        }
    }
    initialised_ = true;
    VRA_SDKLogIn(moduleCode_);
    return 0;
}

int SdkInterface::Release() {
    CQThreadMutexGuard guard(lock_);
    if (!initialised_)
        return 0;
    if (sessionCount_ != 0)
        return 18;
    for (SessionInterface *slot : slots_) {
        if (slot)
            return 18;
    }
    sessionCount_ = 0;
    UnloadAll();
    VRA_SDKLogOut(moduleCode_);
    return 0;
}

int SdkInterface::StartSession(const ConfigAssistant &config, uint32_t *id) {
    static const char *kName = "SdkInterface::StartSession";
    ConfigAssistant copy = config;
    std::string capkey;
    if (!copy.GetValue("capkey", capkey))
        return 4;
    CQThreadMutexGuard guard(lock_);
    if (!initialised_)
        return 300;  // released by another thread meanwhile
    if (capkey.find("hwr.local") != std::string::npos)
        maxSessions_ = 5;
    if (sessionCount_ >= static_cast<uint32_t>(maxSessions_ < 0 ? 0 : maxSessions_)) {
        QV_LOG_FAIL(QV_TAG_COMMON, kName,
                    " Too Many Session    [SessionCount : %d],[MaxSessionCount : %d]",
                    static_cast<int>(sessionCount_), maxSessions_);
        return 17;
    }
    int code = PrepareForCapkey(capkey, copy);
    if (code != 0) {
        QV_LOG_FAIL(QV_TAG_COMMON, kName, " PrepareForCapkey(%s) return %d", capkey.c_str(), code);
        return code;
    }
    auto found = capabilities_.find(capkey);
    if (found == capabilities_.end()) {
        QV_LOG_FAIL(QV_TAG_COMMON, kName, " %s can not found dll", capkey.c_str());
        return -1;
    }
    SessionInterface *session = nullptr;
    code = CreateSession(session);
    if (code != 0)
        return code;
    session->SetDllInterface(found->second);
    code = session->Start(copy);
    if (code != 0) {
        delete session;
        return code;
    }
    const uint32_t limit = std::min<uint32_t>(kSlots, static_cast<uint32_t>(maxSessions_));
    for (uint32_t i = 0; i < limit; ++i) {
        if (!slots_[i]) {
            slots_[i] = session;
            session->SetId(i);
            *id = i;
            ++sessionCount_;
            return 0;
        }
    }
    // No slot although the count allowed one: the plug-in session must not be left behind.
    session->Stop();
    delete session;
    return 17;
}

int SdkInterface::StopSession(uint32_t id) {
    SessionInterface *session = nullptr;
    {
        // Looked up and taken out in one step: two stops of one id cannot both succeed.
        CQThreadMutexGuard guard(lock_);
        if (id >= kSlots || !slots_[id])
            return 16;
        session = slots_[id];
        slots_[id] = nullptr;
        --sessionCount_;
    }
    int code = session->PreStop();
    if (code == 0)
        code = session->Stop();
    // The id is free either way; the plug-in keeps an engine whose stop failed until release.
    delete session;
    return code;
}

bool SdkInterface::IsInited() {
    CQThreadMutexGuard guard(lock_);
    return initialised_;
}

void SdkInterface::UnloadAll() {
    CQThreadMutexGuard guard(lock_);
    initialised_ = false;
    for (auto &[file, dll] : libraries_) {
        dll->UnLoad();
        delete dll;
    }
    libraries_.clear();
    capabilities_.clear();
    dataPath_.clear();
    fileFlag_.clear();
    pluginPath_.clear();
    initConfig_.Clear();
}

IDllInterface *SdkInterface::FindDllInterface(const std::string &fileName) {
    CQThreadMutexGuard guard(lock_);
    auto it = libraries_.find(fileName);
    return it == libraries_.end() ? nullptr : it->second;
}

SessionInterface *SdkInterface::GetSession(uint32_t id) {
    if (id >= kSlots)
        return nullptr;
    CQThreadMutexGuard guard(lock_);
    return slots_[id];
}

int SdkInterface::PrepareForCapkey(const std::string &capkey, ConfigAssistant &config) {
    static const char *kName = "SdkInterface::PrepareForCapkey";
    CQThreadMutexGuard guard(lock_);
    if (!IsHwrCapkey(capkey))
        return 5;
    std::vector<std::string> pieces = qvcommon::Tokenize(capkey, ".");
    if (pieces.size() >= 2 && pieces[1] == "cloud") {
        std::string address;
        int code = ApplyServiceUrl(capkey, address);
        if (code != 0)
            return code;
        config.AddItem("requesturl", address);
    } else if (dataPath_.empty()) {
        QV_LOG_FAIL(QV_TAG_COMMON, kName, " local capkey(%s) but no datapath", capkey.c_str());
        return 6;
    }
    if (capabilities_.count(capkey))
        return 0;
    std::string file;
    int code = GetDllName(capkey, file);
    if (code != 0)
        return code;
    if (IDllInterface *loaded = FindDllInterface(file)) {
        capabilities_[capkey] = loaded;
        return 0;
    }
    IDllInterface *dll = CreateDllInterface();
    if (!dll)
        return 2;
    code = dll->Load(file, initConfig_);
    if (code != 0) {
        delete dll;
        QV_LOG_FAIL(QV_TAG_COMMON, kName, " Load(%s) return %d", capkey.c_str(), code);
        return code;
    }
    libraries_[file] = dll;
    capabilities_[capkey] = dll;
    return 0;
}

int SdkInterface::ApplyServiceUrl(const std::string &capkey, std::string &address) {
    static const char *kName = "SdkInterface::ApplyServiceUrl";
    QV_TRACE(QV_TAG_COMMON, kName);
    char buffer[256] = {0};
    const char *appkey = VRA_GetDefaultAppKey();
    int code = VRA_ApplyServiceUrlSynch(appkey ? appkey : "", capkey.c_str(), buffer,
                                        static_cast<int>(sizeof buffer));
    if (code != 0) {
        QV_LOG_INFO(QV_TAG_COMMON, kName, " VRA_ApplyServiceUrlSynch %d", code);
        return code;
    }
    buffer[sizeof buffer - 1] = '\0';
    address = buffer;
    return 0;
}
