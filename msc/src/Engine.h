// Engine: what a recogniser behind the speech library implements (see msc/README.md).
//
// The library (MscApi.cpp) owns login, the session table, session ids, the order of audio
// statuses, result lifetimes and the result encoding; an engine only recognises. Every text an
// engine hands back is UTF-8; the library converts it to the session's result_encoding.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "Params.h"
#include "msc.h"

namespace msc {

// What login established, handed to the engine that it selected.
struct LoginContext {
    std::string appid;
    std::string workDir;  // as given at login, never empty; resolve engine files against it
    Params params;        // every login item: the login text, MSC_PARAMS and msc.cfg merged
    // A path from the parameters, taken relative to the work directory unless absolute.
    std::string ResolvePath(const std::string &path) const;
};

// One recognition session. The library never calls one session from two threads at once, but
// successive calls may come from different threads.
class RecognitionSession {
  public:
    virtual ~RecognitionSession() = default;

    // One block of 16-bit mono audio; `audioStatus` is MSC_AUDIO_FIRST for the first call,
    // MSC_AUDIO_CONTINUE after it, MSC_AUDIO_LAST once at the end (the library guarantees this
    // order and an even length; the last block may be empty). Sets *endpoint (MSC_EP_...) and
    // *recognition (MSC_REC_RESULT_READY when GetResult would return a text now, else
    // MSC_REC_INCOMPLETE). Returns 0 or an MSC_ERROR_ code.
    virtual int Write(const char *data, size_t length, int audioStatus, int *endpoint,
                      int *recognition) = 0;

    // The next result, if one is ready: sets *hasText and *text. Sets *recognition to
    // MSC_REC_COMPLETE when the session has nothing more to give (the audio has ended, by
    // MSC_AUDIO_LAST or by the end of speech, and every result has been fetched; this may be
    // set together with the last text), else MSC_REC_RESULT_READY or MSC_REC_INCOMPLETE.
    // Returns 0 or an MSC_ERROR_ code. Polls; the library does any waiting.
    virtual int GetResult(std::string *text, bool *hasText, int *recognition) = 0;

    // The caller ended the session; `hints` says why ("normal", "err", ...). The object is
    // destroyed right after.
    virtual void End(std::string_view hints) {}
};

// One logged-in engine. It lives from login to logout and as long as any of its sessions.
// BeginSession and Search may be called from several threads at once.
class Engine {
  public:
    virtual ~Engine() = default;

    // Opens a session with the session's parameter text, already parsed. Returns 0 and sets
    // *session, or an MSC_ERROR_ code (MSC_ERROR_NO_LANGUAGE for a language without a model).
    virtual int BeginSession(const Params &params,
                             std::unique_ptr<RecognitionSession> *session) = 0;

    // Semantic understanding of `request` (UTF-8): sets *answer to the JSON answer.
    virtual int Search(const Params &params, std::string_view request, std::string *answer) {
        return MSC_ERROR_NOT_SUPPORTED;
    }

    // The caller logged out.
    virtual void Logout() {}
};

// Creates the engine for a login; returns 0 or an MSC_ERROR_ code (MSC_ERROR_ENGINE_SETUP
// when a model or file it needs is missing).
using EngineFactory = int (*)(const LoginContext &login, std::unique_ptr<Engine> *engine);

}  // namespace msc
