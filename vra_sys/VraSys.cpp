// The exported calls of libvra_sys.so over one process-wide state.
#include <sys/time.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <shared_mutex>

#include "SysLog.h"
#include "SysSettings.h"
#include "UsageHistory.h"
#include "vra_sys.h"

namespace {

struct State {
    std::shared_mutex mutex;
    bool inited = false;
    vra_sys::SysSettings settings;
    std::set<int> modules;  // logged-in kit modules
};

State &S() {
    static State *state = [] {
        auto *s = new State();
        s->settings = vra_sys::DefaultSettings();
        return s;
    }();
    return *state;
}

char *Dup(const std::string &s) {
    char *p = static_cast<char *>(malloc(s.size() + 1));
    if (p)
        memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

unsigned long long NowMs() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<unsigned long long>(tv.tv_sec) * 1000ULL + tv.tv_usec / 1000;
}

void Log(int level, const char *format, ...) VRA_SYS_PRINTF(2, 3);
void Log(int level, const char *format, ...) {
    va_list args;
    va_start(args, format);
    vra_sys::SysLog::Instance().Write(level, format, args);
    va_end(args);
}

}  // namespace

extern "C" {

int VRA_Init(const char *config) {
    State &s = S();
    std::unique_lock lock(s.mutex);
    if (s.inited)
        return VRA_SYS_ERR_ALREADY_INITED;
    vra_sys::SysSettings settings = vra_sys::DefaultSettings();
    std::string error;
    int code = vra_sys::ApplyConfig(config, settings, error);
    if (code != 0) {
        Log(VRA_LOG_FAILURE, "[%s][%s] %s", "vra_sys", "VRA_Init", error.c_str());
        return code;
    }
    vra_sys::LogSettings log = settings.log;
    vra_sys::ApplyLogEnvironment(log);
    settings.log = log;
    vra_sys::SysLog::Instance().Configure(log);
    if (!vra_sys::MakeDirs(settings.authPath)) {
        Log(VRA_LOG_WARNING, "[%s][%s] auth path %s cannot be created", "vra_sys", "VRA_Init",
            settings.authPath.c_str());
    }
    s.settings = std::move(settings);
    s.modules.clear();
    s.inited = true;
    Log(VRA_LOG_INFO, "[%s][%s] initialised, auth path %s", "vra_sys", "VRA_Init",
        s.settings.authPath.c_str());
    return 0;
}

int VRA_Release(void) {
    State &s = S();
    std::unique_lock lock(s.mutex);
    if (!s.inited)
        return VRA_SYS_ERR_NOT_INITED;
    s.inited = false;
    s.modules.clear();
    s.settings = vra_sys::DefaultSettings();
    vra_sys::LogSettings log;
    vra_sys::ApplyLogEnvironment(log);
    vra_sys::SysLog::Instance().Configure(log);
    return 0;
}

int VRA_IsInited(void) {
    State &s = S();
    std::shared_lock lock(s.mutex);
    return s.inited ? 1 : 0;
}

const char *VRA_GetVersion(void) {
    return VRA_SYS_VERSION_TEXT;
}

int VRA_GetMaxSessionCount(void) {
    State &s = S();
    std::shared_lock lock(s.mutex);
    return s.settings.maxSessions;
}

int VRA_SDKLogIn(int module) {
    State &s = S();
    std::unique_lock lock(s.mutex);
    if (!s.inited)
        return VRA_SYS_ERR_NOT_INITED;
    s.modules.insert(module);
    Log(VRA_LOG_INFO, "[%s][%s] module %d logged in", "vra_sys", "VRA_SDKLogIn", module);
    return 0;
}

int VRA_SDKLogOut(int module) {
    State &s = S();
    std::unique_lock lock(s.mutex);
    if (!s.inited)
        return VRA_SYS_ERR_NOT_INITED;
    s.modules.erase(module);
    Log(VRA_LOG_INFO, "[%s][%s] module %d logged out", "vra_sys", "VRA_SDKLogOut", module);
    return 0;
}

const char *VRA_GetDefaultAppKey(void) {
    State &s = S();
    std::shared_lock lock(s.mutex);
    return s.settings.appKey.c_str();
}

const char *VRA_GetDeveloperKeyByAppKey(const char *appkey) {
    if (!appkey)
        return "";
    State &s = S();
    std::shared_lock lock(s.mutex);
    auto it = s.settings.devKeys.find(appkey);
    if (it != s.settings.devKeys.end())
        return it->second.c_str();
    if (s.settings.appKey == appkey)
        return s.settings.devKey.c_str();
    return "";
}

int VRA_ApplyServiceUrlSynch(const char *appkey, const char *capkey, char *buf, int size) {
    if (!appkey || !capkey || !buf || size <= 0)
        return VRA_SYS_ERR_INVALID_ARG;
    State &s = S();
    std::shared_lock lock(s.mutex);
    if (!s.inited)
        return VRA_SYS_ERR_NOT_INITED;
    std::string url = s.settings.ServiceUrlFor(capkey);
    if (url.empty())
        return VRA_SYS_ERR_NO_SERVICE_URL;
    if (url.size() + 1 > static_cast<size_t>(size))
        return VRA_SYS_ERR_BUFFER_TOO_SMALL;
    memcpy(buf, url.c_str(), url.size() + 1);
    return 0;
}

const char *VRA_GetAuthPath(void) {
    State &s = S();
    std::shared_lock lock(s.mutex);
    return s.settings.authPath.c_str();
}

int VRA_GetLocation(double *latitude, double *longitude) {
    if (!latitude || !longitude)
        return VRA_SYS_ERR_INVALID_ARG;
    State &s = S();
    std::shared_lock lock(s.mutex);
    *latitude = s.settings.latitude;
    *longitude = s.settings.longitude;
    return 0;
}

int VRA_IsSmartSpace(void) {
    State &s = S();
    std::shared_lock lock(s.mutex);
    return s.settings.smartSpace ? 1 : 0;
}

int VRA_GetCommonHeaderInfo(VraCommonHeaderInfo *info) {
    if (!info)
        return VRA_SYS_ERR_INVALID_ARG;
    memset(info, 0, sizeof *info);
    State &s = S();
    std::shared_lock lock(s.mutex);
    const vra_sys::SysSettings &c = s.settings;
    info->tid = Dup(c.tid);
    info->eid = Dup(c.eid);
    info->udid = Dup(c.udid);
    info->userid = Dup(c.userId);
    info->udidtype = c.udidType;
    info->version = Dup(c.version);
    if (!info->tid || !info->eid || !info->udid || !info->userid || !info->version) {
        VraFreeCommonHeaderInfo(info);
        return 2;
    }
    return 0;
}

void VraFreeCommonHeaderInfo(VraCommonHeaderInfo *info) {
    if (!info)
        return;
    free(info->tid);
    free(info->eid);
    free(info->udid);
    free(info->userid);
    free(info->version);
    memset(info, 0, sizeof *info);
}

int vra_append_user_his_item(const VraUserHisItem *item) {
    if (!item)
        return VRA_SYS_ERR_INVALID_ARG;
    State &s = S();
    std::string path;
    {
        std::shared_lock lock(s.mutex);
        if (!s.inited)
            return VRA_SYS_ERR_NOT_INITED;
        if (!s.settings.history)
            return 0;
        path = s.settings.historyFile;
    }
    // Appends from several threads each land whole: one write per record on an O_APPEND file.
    int code = vra_sys::AppendUsageRecord(path, *item, NowMs());
    if (code != 0) {
        Log(VRA_LOG_WARNING, "[%s][%s] cannot append to %s", "vra_sys", "vra_append_user_his_item",
            path.c_str());
    }
    return code;
}

void VRA_LOG(int level, const char *format, ...) {
    va_list args;
    va_start(args, format);
    vra_sys::SysLog::Instance().Write(level, format, args);
    va_end(args);
}

}  // extern "C"
