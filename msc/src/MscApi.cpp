// The seven exported operations: login state, the session table, the order of audio statuses,
// result lifetimes and encodings. Recognition itself is the selected engine's.
#include <iconv.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "Engine.h"
#include "EngineRegistry.h"
#include "msc.h"

namespace msc {

std::string LoginContext::ResolvePath(const std::string &path) const {
    if (path.empty() || path.front() == '/')
        return path;
    return workDir + "/" + path;
}

namespace {

constexpr size_t kMaxSessions = 64;
constexpr size_t kMaxAppIdLength = 32;
constexpr int kPollStepMs = 10;

struct SessionSlot {
    std::mutex mutex;  // serialises the calls on this session
    std::string id;
    std::shared_ptr<Engine> engine;
    std::unique_ptr<RecognitionSession> session;  // null once ended
    bool toGb2312 = false;
    bool audioStarted = false;
    bool audioEnded = false;
    std::string result;  // the last result text handed out
};

struct Library {
    std::mutex mutex;  // guards everything below
    bool loggedIn = false;
    std::string appid;
    std::shared_ptr<Engine> engine;
    std::map<std::string, std::shared_ptr<SessionSlot>> sessions;
    unsigned long long sessionCounter = 0;
};

Library &TheLibrary() {
    static Library library;
    return library;
}

void SetError(int *out, int code) {
    if (out)
        *out = code;
}

bool ValidAppId(const std::string &id) {
    if (id.empty() || id.size() > kMaxAppIdLength)
        return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    return true;
}

// msc.cfg: "key = value" lines, '#' comments. A missing file is no error.
bool ReadConfigFile(const std::string &path, Params *out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return errno == ENOENT;
    std::string text, line;
    while (std::getline(in, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        text += line;
        text += '\n';
    }
    return out->Parse(text, '\n');
}

bool IsAdmitted(const std::string &allowList, const std::string &appid) {
    std::istringstream words(allowList);
    std::string word;
    while (words >> word)
        if (word == appid)
            return true;
    return false;
}

// UTF-8 to code page 936; characters it lacks become '?', as the Windows converters do.
std::string Utf8ToGb2312(const std::string &in) {
    iconv_t cd = iconv_open("CP936", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return in;
    std::string out;
    char buffer[1024];
    char *src = const_cast<char *>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char *dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // Skip one character without a GB form, or one undecodable sequence.
            size_t skip = 1;
            while (skip < srcLeft && skip < 4 &&
                   (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80)
                ++skip;
            src += skip;
            srcLeft -= skip;
            out += '?';
        }
    }
    iconv_close(cd);
    return out;
}

// Checks the items of a session's parameter text that the library itself handles.
int CheckSessionParams(const Params &params, bool *toGb2312) {
    std::string encoding = params.Get("result_encoding", "utf-8");
    for (char &c : encoding)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (encoding == "gb2312" || encoding == "gbk" || encoding == "cp936")
        *toGb2312 = true;
    else if (encoding == "utf-8" || encoding == "utf8")
        *toGb2312 = false;
    else
        return MSC_ERROR_INVALID_PARAMS;
    std::string type = params.Get("result_type", "plain");
    if (type != "plain" && type != "json")
        return MSC_ERROR_INVALID_PARAMS;
    long rate = params.GetInt("sample_rate", 16000);
    if (rate != 16000 && rate != 8000)
        return MSC_ERROR_INVALID_PARAMS;
    return 0;
}

std::shared_ptr<SessionSlot> FindSession(const char *id) {
    if (!id)
        return nullptr;
    Library &lib = TheLibrary();
    std::lock_guard<std::mutex> lock(lib.mutex);
    auto it = lib.sessions.find(id);
    return it == lib.sessions.end() ? nullptr : it->second;
}

int Login(const char *text) {
    Params given;
    if (!given.Parse(text ? text : ""))
        return MSC_ERROR_INVALID_PARAMS;

    Library &lib = TheLibrary();
    std::lock_guard<std::mutex> lock(lib.mutex);
    if (lib.loggedIn)
        return MSC_ERROR_ALREADY_LOGGED_IN;

    LoginContext login;
    login.params = given;
    if (const char *env = std::getenv("MSC_PARAMS")) {
        Params fromEnv;
        if (!fromEnv.Parse(env))
            return MSC_ERROR_INVALID_PARAMS;
        login.params.AddMissing(fromEnv);
    }
    std::string workDir = login.params.Get("work_dir", ".");
    if (workDir.empty())
        workDir = ".";
    char resolved[PATH_MAX];
    if (!realpath(workDir.c_str(), resolved))
        return MSC_ERROR_INVALID_WORK_DIR;
    login.workDir = resolved;
    Params fromFile;
    if (!ReadConfigFile(login.workDir + "/msc.cfg", &fromFile))
        return MSC_ERROR_INVALID_PARAMS;
    login.params.AddMissing(fromFile);

    login.appid = login.params.Get("appid");
    if (!ValidAppId(login.appid))
        return MSC_ERROR_INVALID_APPID;
    if (login.params.Has("appid_allow") &&
        !IsAdmitted(login.params.Get("appid_allow"), login.appid))
        return MSC_ERROR_INVALID_APPID;

    const EngineEntry *entry = FindEngine(login.params.Get("engine"));
    if (!entry)
        return MSC_ERROR_UNKNOWN_ENGINE;
    std::unique_ptr<Engine> engine;
    int rc = entry->create(login, &engine);
    if (rc != 0)
        return rc;
    if (!engine)
        return MSC_ERROR_ENGINE_SETUP;

    lib.engine = std::move(engine);
    lib.appid = login.appid;
    lib.loggedIn = true;
    return 0;
}

int Logout() {
    Library &lib = TheLibrary();
    std::map<std::string, std::shared_ptr<SessionSlot>> open;
    std::shared_ptr<Engine> engine;
    {
        std::lock_guard<std::mutex> lock(lib.mutex);
        if (!lib.loggedIn)
            return MSC_ERROR_NOT_LOGGED_IN;
        lib.loggedIn = false;
        open.swap(lib.sessions);
        engine = std::move(lib.engine);
    }
    for (auto &[id, slot] : open) {
        std::lock_guard<std::mutex> lock(slot->mutex);
        if (slot->session)
            slot->session->End("logout");
        slot->session.reset();
    }
    engine->Logout();
    return 0;
}

const char *SessionBegin(const char *text, int *errorCode) {
    Params params;
    if (!params.Parse(text ? text : "")) {
        SetError(errorCode, MSC_ERROR_INVALID_PARAMS);
        return nullptr;
    }
    auto slot = std::make_shared<SessionSlot>();
    int rc = CheckSessionParams(params, &slot->toGb2312);
    std::shared_ptr<Engine> engine;
    std::string appid;
    {
        Library &lib = TheLibrary();
        std::lock_guard<std::mutex> lock(lib.mutex);
        if (!lib.loggedIn) {
            rc = MSC_ERROR_NOT_LOGGED_IN;
        } else if (rc == 0 && lib.sessions.size() >= kMaxSessions) {
            rc = MSC_ERROR_TOO_MANY_SESSIONS;
        }
        engine = lib.engine;
        appid = lib.appid;
    }
    if (rc == 0)
        rc = engine->BeginSession(params, &slot->session);
    if (rc == 0 && !slot->session)
        rc = MSC_ERROR_ENGINE;
    if (rc != 0) {
        SetError(errorCode, rc);
        return nullptr;
    }
    slot->engine = std::move(engine);

    Library &lib = TheLibrary();
    std::lock_guard<std::mutex> lock(lib.mutex);
    if (!lib.loggedIn || lib.engine != slot->engine) {  // logged out meanwhile
        SetError(errorCode, MSC_ERROR_NOT_LOGGED_IN);
        return nullptr;
    }
    char id[64];
    std::snprintf(id, sizeof id, "%s-%06llu", appid.c_str(), ++lib.sessionCounter);
    slot->id = id;
    const char *handle = slot->id.c_str();  // stable: the slot outlives the table entry
    lib.sessions.emplace(slot->id, slot);
    SetError(errorCode, 0);
    return handle;
}

int AudioWrite(const char *id, const void *data, unsigned int length, int status, int *endpoint,
               int *recognition) {
    if (!endpoint || !recognition || (length > 0 && !data) || length % 2 != 0)
        return MSC_ERROR_INVALID_ARGUMENT;
    if (status != MSC_AUDIO_FIRST && status != MSC_AUDIO_CONTINUE && status != MSC_AUDIO_LAST)
        return MSC_ERROR_INVALID_ARGUMENT;
    auto slot = FindSession(id);
    if (!slot)
        return MSC_ERROR_INVALID_SESSION;
    std::lock_guard<std::mutex> lock(slot->mutex);
    if (!slot->session)
        return MSC_ERROR_INVALID_SESSION;
    if (slot->audioEnded || (status == MSC_AUDIO_FIRST && slot->audioStarted) ||
        (status == MSC_AUDIO_CONTINUE && !slot->audioStarted))
        return MSC_ERROR_AUDIO_ORDER;
    slot->audioStarted = true;
    if (status == MSC_AUDIO_LAST)
        slot->audioEnded = true;
    return slot->session->Write(static_cast<const char *>(data), length, status, endpoint,
                                recognition);
}

const char *GetResult(const char *id, int *recognition, int waitMs, int *errorCode) {
    if (!recognition) {
        SetError(errorCode, MSC_ERROR_INVALID_ARGUMENT);
        return nullptr;
    }
    auto slot = FindSession(id);
    if (!slot) {
        SetError(errorCode, MSC_ERROR_INVALID_SESSION);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(slot->mutex);
    if (!slot->session) {
        SetError(errorCode, MSC_ERROR_INVALID_SESSION);
        return nullptr;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        std::string text;
        bool hasText = false;
        int rc = slot->session->GetResult(&text, &hasText, recognition);
        if (rc != 0) {
            SetError(errorCode, rc);
            return nullptr;
        }
        if (hasText) {
            slot->result = slot->toGb2312 ? Utf8ToGb2312(text) : std::move(text);
            SetError(errorCode, 0);
            return slot->result.c_str();
        }
        if (*recognition == MSC_REC_COMPLETE || std::chrono::steady_clock::now() >= deadline) {
            SetError(errorCode, 0);
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
    }
}

int SessionEnd(const char *id, const char *hints) {
    std::shared_ptr<SessionSlot> slot;
    {
        Library &lib = TheLibrary();
        std::lock_guard<std::mutex> lock(lib.mutex);
        auto it = id ? lib.sessions.find(id) : lib.sessions.end();
        if (it == lib.sessions.end())
            return MSC_ERROR_INVALID_SESSION;
        slot = it->second;
        lib.sessions.erase(it);
    }
    std::lock_guard<std::mutex> lock(slot->mutex);
    if (!slot->session)
        return MSC_ERROR_INVALID_SESSION;
    slot->session->End(hints ? hints : "");
    slot->session.reset();
    return 0;
}

const char *Search(const char *text, const char *request, unsigned int *length, int *errorCode) {
    thread_local std::string answer;
    Params params;
    if (!params.Parse(text ? text : "")) {
        SetError(errorCode, MSC_ERROR_INVALID_PARAMS);
        return nullptr;
    }
    if (!request || !length) {
        SetError(errorCode, MSC_ERROR_INVALID_ARGUMENT);
        return nullptr;
    }
    std::shared_ptr<Engine> engine;
    {
        Library &lib = TheLibrary();
        std::lock_guard<std::mutex> lock(lib.mutex);
        engine = lib.engine;
    }
    if (!engine) {
        SetError(errorCode, MSC_ERROR_NOT_LOGGED_IN);
        return nullptr;
    }
    std::string_view req(request, *length ? *length : std::strlen(request));
    std::string result;
    int rc = engine->Search(params, req, &result);
    if (rc != 0) {
        SetError(errorCode, rc);
        return nullptr;
    }
    answer = std::move(result);
    *length = static_cast<unsigned int>(answer.size());
    SetError(errorCode, 0);
    return answer.c_str();
}

// Nothing may escape into C callers.
template <typename F>
auto Guard(F &&f, decltype(f()) onFailure) noexcept -> decltype(f()) {
    try {
        return f();
    } catch (...) {  // in practice std::bad_alloc
        return onFailure;
    }
}

}  // namespace
}  // namespace msc

using namespace msc;

extern "C" {

MSC_API int MSPLogin(const char *, const char *, const char *params) {
    return Guard([&] { return Login(params); }, MSC_ERROR_NO_MEMORY);
}

MSC_API int MSPLogout(void) {
    return Guard([&] { return Logout(); }, MSC_ERROR_NO_MEMORY);
}

MSC_API const char *MSPSearch(const char *params, const char *text, unsigned int *length,
                              int *errorCode) {
    SetError(errorCode, MSC_ERROR_NO_MEMORY);
    return Guard([&] { return Search(params, text, length, errorCode); }, nullptr);
}

MSC_API const char *QISRSessionBegin(const char *, const char *params, int *errorCode) {
    SetError(errorCode, MSC_ERROR_NO_MEMORY);
    return Guard([&] { return SessionBegin(params, errorCode); }, nullptr);
}

MSC_API int QISRAudioWrite(const char *id, const void *data, unsigned int length, int status,
                           int *endpoint, int *recognition) {
    return Guard([&] { return AudioWrite(id, data, length, status, endpoint, recognition); },
                 MSC_ERROR_NO_MEMORY);
}

MSC_API const char *QISRGetResult(const char *id, int *recognition, int waitMs, int *errorCode) {
    SetError(errorCode, MSC_ERROR_NO_MEMORY);
    return Guard([&] { return GetResult(id, recognition, waitMs, errorCode); }, nullptr);
}

MSC_API int QISRSessionEnd(const char *id, const char *hints) {
    return Guard([&] { return SessionEnd(id, hints); }, MSC_ERROR_NO_MEMORY);
}

}  // extern "C"
