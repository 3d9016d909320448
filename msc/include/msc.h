/*
 * msc.h - the speech library: login, recognition sessions and semantic search.
 *
 * Plain C. Every function returns (or writes into an out parameter) an error code; 0 is success,
 * every other value is one of the MSC_ERROR_ codes below. Nothing throws.
 *
 * Order: MSPLogin once before anything else; sessions and searches only between login and
 * logout; MSPLogout once at the end (it also ends every session still open).
 *
 * Ownership: every text the library returns (session ids, results, search answers) belongs to
 * the library. A session id stays valid until QISRSessionEnd on it (or MSPLogout); a result text
 * until the next QISRGetResult on the same session or the end of the session; a search answer
 * until the next MSPSearch on the same thread. Copy what you keep.
 *
 * Threads: the library may be called from any thread. Calls on one session may come from
 * different threads one after the other; calls that overlap on one session are serialised.
 * Searches may run on several threads at once, beside running sessions.
 *
 * Parameter texts are items "key = value" separated by ','; blanks around keys and values are
 * ignored, keys are not case-sensitive. Login understands:
 *   appid      the application's id (required; letters and digits, at most 32)
 *   work_dir   the library's work directory (required to exist; default "."): its msc.cfg, if
 *              present, holds further login items, one "key = value" per line, '#' comments
 *   engine     the recogniser behind the sessions (see msc/README.md); default: the first one built
 * The environment variable MSC_PARAMS may add login items too. Items of the login text win over
 * MSC_PARAMS, which wins over msc.cfg.
 * Sessions understand result_type (plain, json), result_encoding (gb2312, gbk, utf-8),
 * language, accent, ptt, vad_eos, dwa and sample_rate; which of them change anything depends on
 * the engine.
 */
#ifndef MSC_H
#define MSC_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(MSC_BUILDING)
#define MSC_API __attribute__((visibility("default")))
#else
#define MSC_API
#endif

/* Audio status passed with each block of QISRAudioWrite. */
enum {
    MSC_AUDIO_FIRST = 1,    /* the first block of the session */
    MSC_AUDIO_CONTINUE = 2, /* any further block */
    MSC_AUDIO_LAST = 4      /* the end of the audio (the block may be empty) */
};

/* Endpoint status written by QISRAudioWrite. */
enum {
    MSC_EP_LOOKING_FOR_SPEECH = 0,
    MSC_EP_IN_SPEECH = 1,
    MSC_EP_AFTER_SPEECH = 3 /* the end of speech was detected; further audio is not needed */
};

/* Recognition status written by QISRAudioWrite and QISRGetResult. */
enum {
    MSC_REC_RESULT_READY = 0, /* a result can be fetched now */
    MSC_REC_INCOMPLETE = 2,   /* nothing to fetch yet; more may come */
    MSC_REC_COMPLETE = 5      /* every result of the session has been fetched */
};

/* Error codes. */
enum {
    MSC_SUCCESS = 0,
    MSC_ERROR_NOT_LOGGED_IN = 10101, /* no login, or after logout */
    MSC_ERROR_ALREADY_LOGGED_IN = 10102,
    MSC_ERROR_INVALID_PARAMS = 10103, /* a parameter text or value the library cannot use */
    MSC_ERROR_INVALID_APPID = 10104,  /* missing, malformed or not admitted by msc.cfg */
    MSC_ERROR_INVALID_WORK_DIR = 10105,
    MSC_ERROR_UNKNOWN_ENGINE = 10106,   /* engine= names no engine of this build */
    MSC_ERROR_ENGINE_SETUP = 10107,     /* the engine could not start (model, script file, ...) */
    MSC_ERROR_NO_LANGUAGE = 10108,      /* no model installed for the language and accent asked */
    MSC_ERROR_INVALID_SESSION = 10109,  /* unknown or ended session id */
    MSC_ERROR_INVALID_ARGUMENT = 10110, /* null where a value is needed, bad length */
    MSC_ERROR_AUDIO_ORDER = 10111, /* audio status out of order, or audio after the last block */
    MSC_ERROR_TOO_MANY_SESSIONS = 10112,
    MSC_ERROR_NOT_SUPPORTED = 10113, /* the engine does not offer this operation */
    MSC_ERROR_NO_MEMORY = 10114,
    MSC_ERROR_ENGINE = 10115 /* the engine failed while recognising */
};

/* Logs in with the parameter text described above. user and password are not used (may be
 * null). */
MSC_API int MSPLogin(const char *user, const char *password, const char *params);

/* Logs out: ends every open session. */
MSC_API int MSPLogout(void);

/* Semantic understanding of a request text (UTF-8). *length holds the request's length in bytes
 * on entry (0: up to its terminating zero) and the answer's length on return. Returns the answer
 * text (UTF-8 JSON) or null with *error_code set. */
MSC_API const char *MSPSearch(const char *params, const char *text, unsigned int *length,
                              int *error_code);

/* Opens a recognition session. grammar_list is not used (may be null). Returns the session id,
 * or null with *error_code set. */
MSC_API const char *QISRSessionBegin(const char *grammar_list, const char *params, int *error_code);

/* Writes audio (16-bit signed little-endian mono PCM at the session's sample rate) to the
 * session. data may be null when length is 0. */
MSC_API int QISRAudioWrite(const char *session_id, const void *data, unsigned int length,
                           int audio_status, int *endpoint_status, int *recognition_status);

/* Fetches the next result of the session, or null when there is nothing new (and on errors,
 * with *error_code set). *recognition_status tells whether more may come. wait_ms is how long
 * to wait for a result; 0 polls. */
MSC_API const char *QISRGetResult(const char *session_id, int *recognition_status, int wait_ms,
                                  int *error_code);

/* Ends the session. hints is a free text saying why (may be null). */
MSC_API int QISRSessionEnd(const char *session_id, const char *hints);

#ifdef __cplusplus
}
#endif

#endif /* MSC_H */
