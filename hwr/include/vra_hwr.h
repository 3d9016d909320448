/*
 * vra_hwr.h - the handwriting-recognition kit (libvra_hwr.so).
 *
 * Calling order. Initialise the system library first (VRA_Init in vra_sys.h), then call
 * vra_hwr_init once. Open sessions with vra_hwr_session_start; each takes a capability key such as
 * "hwr.local.letter", "hwr.local.freestylus.v7", "hwr.local.associateword" or "hwr.cloud.letter".
 * Run recognition, association and the other requests on the session id, release every result
 * with its free function, stop the session, and end with vra_hwr_release (which refuses with 18
 * while sessions are open). The kit may be initialised again afterwards.
 *
 * Configuration strings are items key=value separated by ','; keys are case-insensitive, values
 * are not ("capkey=hwr.local.letter,candnum=5"). A null configuration is an empty one.
 *
 * Stroke data is an array of points, two 16-bit signed integers x then y each, lengths always in
 * bytes (4 a point). (-1,0) ends a stroke and (-1,-1) ends the writing, right after a (-1,0). Every
 * other point has x >= 0 and y >= 0. A real-time session (realtime=yes) takes a writing in pieces
 * that each end with (-1,0); the last piece ends with (-1,0)(-1,-1). At most 65536 bytes a call.
 *
 * Text is UTF-8 and NUL-terminated, in both directions.
 *
 * Ownership. Result records belong to the caller (usually on its stack); the arrays hanging from
 * a filled record belong to the kit until the record is passed to its free function, which frees
 * them and leaves items NULL and count 0 (so freeing twice is harmless). Results stay valid after
 * their session stops and after vra_hwr_release. A failed call leaves the record empty unless it
 * failed one of the checks made before the record is emptied (null pointers, not initialised).
 *
 * Threads. Every function may be called from any thread; the kit serialises its own tables.
 * Requests on different sessions run in parallel. Requests on one session are not serialised by
 * the kit: an application that drives one session from several threads serialises those calls
 * itself, and must not stop a session while a request on it is running.
 *
 * Session ids are small numbers (the lowest free slot). A stale or made-up id returns 16.
 */
#ifndef VRA_HWR_H
#define VRA_HWR_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VRA_HWR_API __attribute__((visibility("default")))
#else
#define VRA_HWR_API
#endif

/* Error codes of the whole kit; vra_get_error_info (vra_sys.h) gives a text for each. */
enum {
    HWR_SUCCESS = 0,
    HWR_ERR_NO_RECOGNIZER = -1, /* key names no recogniser / no loaded plug-in */
    HWR_ERR_INVALID_ARG = 1,    /* null pointer, empty text, invalid strokes or point */
    HWR_ERR_NO_MEMORY = 2,
    HWR_ERR_CONFIG = 3,            /* configuration cannot be parsed, or a value not allowed */
    HWR_ERR_NO_CAPKEY = 4,         /* capkey missing in the session configuration */
    HWR_ERR_NOT_HWR_CAPKEY = 5,    /* capability key does not begin with "hwr." */
    HWR_ERR_NO_DATAPATH = 6,       /* a local capability key, but no datapath at init */
    HWR_ERR_CONNECT = 8,           /* remote service cannot be reached */
    HWR_ERR_TIMEOUT = 9,           /* remote service did not answer in time */
    HWR_ERR_EXCHANGE = 10,         /* exchange failed, or the answer is unusable */
    HWR_ERR_SERVICE = 11,          /* remote service reported a failure */
    HWR_ERR_RESOURCE_MISSING = 14, /* a resource file of the plug-in is missing */
    HWR_ERR_NO_SESSION = 16,
    HWR_ERR_TOO_MANY_SESSIONS = 17,
    HWR_ERR_SESSIONS_OPEN = 18, /* vra_hwr_release while sessions are open */
    HWR_ERR_TOO_LARGE = 20,     /* strokes over 65536 bytes, confirm text of 2048 or more */
    HWR_ERR_NOT_SUPPORTED = 22,
    HWR_ERR_LOAD_PLUGIN = 23,     /* plug-in cannot be loaded or lacks an entry point */
    HWR_ERR_SYS_NOT_INITED = 100, /* VRA_Init was not called */
    HWR_ERR_NOT_INITED = 300,
    HWR_ERR_ALREADY_INITED = 301,
    HWR_ERR_NO_RESULT_TO_CONFIRM = 302,
    HWR_ERR_ENGINE = 304,         /* an engine call failed or found no candidate */
    HWR_ERR_ENGINE_SESSION = 306, /* an engine session of a local recogniser did not start */
    HWR_ERR_NO_SUBLANG = 308      /* sub-language letter resources need sublang */
};

/* Limits checked by the front end. */
#define HWR_MAX_STROKE_BYTES 65536
#define HWR_MAX_CONFIRM_BYTES 2048 /* a confirm text must be shorter */

/* One recognition candidate. */
typedef struct HwrRecogResultItem {
    uint16_t *values;     /* value_count 16-bit values (e.g. character offsets), or NULL */
    uint32_t value_count; /* 0 when values is NULL */
    char *text;           /* the candidate, never NULL in a returned record */
} HwrRecogResultItem;

typedef struct HwrRecogResult {
    HwrRecogResultItem *items; /* count candidates, best first; NULL when count is 0 */
    uint32_t count;
} HwrRecogResult;

typedef struct HwrPinyinResult {
    char **items; /* count texts; NULL when count is 0 */
    uint32_t count;
} HwrPinyinResult;

typedef struct HwrAssociateResult {
    char **items; /* count words or phrases, best first; NULL when count is 0 */
    uint32_t count;
} HwrAssociateResult;

typedef struct HwrPenScriptItem {
    int16_t *data;  /* dim1 * dim2 16-bit values */
    int32_t value1; /* meaning set by the pen-script plug-in */
    int32_t value2; /* meaning set by the pen-script plug-in */
    int32_t dim1;
    int32_t dim2;
    int32_t value5; /* meaning set by the pen-script plug-in */
} HwrPenScriptItem;

typedef struct HwrPenScriptResult {
    HwrPenScriptItem *items; /* NULL when count is 0 */
    uint32_t count;
} HwrPenScriptResult;

typedef struct HwrConfirmItem {
    const char *text; /* the text the user finally chose for the last recognition */
} HwrConfirmItem;

/* Keys: datapath (the resource folder), fileflag (none|android_so), initcapkeys (capability keys
 * separated by ';' whose plug-ins are loaded now). 100 when vra_sys is not initialised, 301 when
 * the kit already is. */
VRA_HWR_API int vra_hwr_init(const char *config);

/* Keys: capkey (required), candnum (1-10), recogrange, openslant, splitmode, dispcode, fullhalf,
 * wordmode, realtime (yes|no), resPrefix, and the plug-in's own keys. */
VRA_HWR_API int vra_hwr_session_start(const char *config, uint32_t *session_id);

/* Recognises one writing (or, in a real-time session, the next piece of it); config may be NULL
 * and overrides the session's keys for this call only. */
VRA_HWR_API int vra_hwr_recog(uint32_t session_id, const int16_t *strokes, uint32_t length_bytes,
                              const char *config, HwrRecogResult *result);
VRA_HWR_API int vra_hwr_free_recog_result(HwrRecogResult *result);

VRA_HWR_API int vra_hwr_pinyin(uint32_t session_id, const char *config, const char *word,
                               HwrPinyinResult *result);
VRA_HWR_API int vra_hwr_free_pinyin_result(HwrPinyinResult *result);

/* Follow-on words for the text written so far. Keys: associatemodel (multi|single), recursive
 * (yes|no), candnum. */
VRA_HWR_API int vra_hwr_associate_words(uint32_t session_id, const char *config, const char *words,
                                        HwrAssociateResult *result);
/* Tells the association plug-in which words the user chose, so that they rank higher. */
VRA_HWR_API int vra_hwr_associate_words_adjust(uint32_t session_id, const char *config,
                                               const char *words);
VRA_HWR_API int vra_hwr_free_associate_words_result(HwrAssociateResult *result);

/* (x, y) is a point or the pen-up pair (-1, 0). */
VRA_HWR_API int vra_hwr_pen_script(uint32_t session_id, const char *config, int32_t x, int32_t y,
                                   HwrPenScriptResult *result);
VRA_HWR_API int vra_hwr_free_pen_script_result(HwrPenScriptResult *result);

/* Reports the text the user finally chose for the session's last recognition. */
VRA_HWR_API int vra_hwr_confirm(uint32_t session_id, const HwrConfirmItem *item);

VRA_HWR_API int vra_hwr_session_stop(uint32_t session_id);

VRA_HWR_API int vra_hwr_release(void);

#ifdef __cplusplus
}
#endif

#endif /* VRA_HWR_H */
