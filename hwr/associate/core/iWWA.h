/* iWWA.h - word association engine core.
 *
 * The engine proposes continuations for a text: the words that may follow what the user has
 * written, ranked. It works over two dictionaries that the caller loads whole into memory: a
 * system dictionary (a trie of continuations with frequencies, "wa.system.dct") and an optional
 * user dictionary (a ring of the 2048 words the user chose most recently, "wa.user.dct").
 *
 * Memory: the engine allocates nothing. Ask for every size first (iWWA_GetEngineSize,
 * iWWA_Session_GetSize) and hand in a block of exactly that size, aligned for a pointer.
 *
 * Ownership and lifetime: the caller owns the dictionaries and every block. The dictionaries and
 * the engine block must stay valid until iWWA_Uninit; an engine must outlive its sessions. A keyed
 * system dictionary is descrambled in place by iWWA_Init, so its buffer is written once and can
 * back only one engine.
 *
 * Threads: an engine only reads its dictionaries and may serve sessions on several threads at
 * once. A session must not be used by two threads at once. There are no locks.
 *
 * Text: UTF-16 code units, zero-terminated. Every call returns one of the iWWA_ codes below.
 */
#ifndef QV_HWR_ASSOCIATE_IWWA_H
#define QV_HWR_ASSOCIATE_IWWA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint16_t iWWA_Char;
typedef struct iWWA_Engine iWWA_Engine;
typedef struct iWWA_Session iWWA_Session;

/* Called once per candidate, best first, during iWWA_Session_Associate. The text holds `length`
 * code units followed by a zero unit and is valid only during the call. */
typedef void (*iWWA_ResultFunc)(void *user, const iWWA_Char *text, uint32_t length);

enum {
    iWWA_OK = 0,
    iWWA_ERR_INVALID_ARG = 1,  /* null or out-of-range argument */
    iWWA_ERR_NOT_OFFERED = 2,  /* the dictionary does not offer that parameter value */
    iWWA_ERR_BAD_DICT = 6,     /* the system dictionary is invalid */
    iWWA_ERR_NO_CANDIDATE = 9, /* the association found nothing */
    iWWA_ERR_BAD_BLOCK = 10    /* a block (user dictionary, candidate list) failed its check */
};

/* Session parameters of iWWA_Session_SetParam. The value pointer points to an int32_t for the
 * numbered integer parameters and to a 36-byte block for parameter 2; for the callback and the
 * user value it is the function or the value itself (neither may be null). Parameters 0 to 3 are
 * validated against the dictionary's tables and stored; nothing reads them. */
enum {
    iWWA_PARAM_0 = 0,        /* 0..248, offered per value by the dictionary */
    iWWA_PARAM_1 = 1,        /* 0..183, likewise */
    iWWA_PARAM_2 = 2,        /* 36 bytes; each non-zero byte must be allowed by the dictionary */
    iWWA_PARAM_3 = 3,        /* 0..2, offered per value */
    iWWA_PARAM_CANDNUM = 4,  /* candidate limit, 1..256 */
    iWWA_PARAM_MODE = 5,     /* iWWA_MODE_SINGLE or iWWA_MODE_MULTI, offered per value */
    iWWA_PARAM_CALLBACK = 6, /* iWWA_ResultFunc */
    iWWA_PARAM_USERDATA = 7  /* the callback's first argument */
};

enum {
    iWWA_MODE_SINGLE = 0, /* candidates are the first characters of the continuations */
    iWWA_MODE_MULTI = 1   /* candidates are whole continuations */
};

/* Validates the system dictionary (sysLen bytes; writable, as keyed records are descrambled in
 * place by iWWA_Init) and reports the size of an engine block. userDict may be null. */
int iWWA_GetEngineSize(void *sysDict, uint32_t sysLen, const void *userDict, uint32_t userLen,
                       uint32_t *size);
int iWWA_Init(void *sysDict, uint32_t sysLen, const void *userDict, uint32_t userLen, void *memory,
              uint32_t size, iWWA_Engine **engine);
/* Clears the engine block and sets *engine to null. */
int iWWA_Uninit(iWWA_Engine **engine);

int iWWA_Session_GetSize(const iWWA_Engine *engine, uint32_t *size);
/* Starts a session in `memory` with the dictionary's defaults and a private copy of the user
 * dictionary. */
int iWWA_Session_Init(const iWWA_Engine *engine, void *memory, uint32_t size,
                      iWWA_Session **session);
int iWWA_Session_Uninit(iWWA_Session **session);
int iWWA_Session_SetParam(iWWA_Session *session, int32_t param, const void *value);

/* Associates from the whole text and, when recursive is non-zero, from each shorter ending of it;
 * delivers at most the candidate limit through the callback. */
int iWWA_Session_Associate(iWWA_Session *session, const iWWA_Char *text, int32_t recursive);
/* Learns a word (1 to 256 code units) into the session's copy of the user dictionary. */
int iWWA_Session_AdjustWord(iWWA_Session *session, const iWWA_Char *word);
/* The session's user dictionary image, to be saved by the caller; valid while the session is. */
int iWWA_Session_GetUserDict(iWWA_Session *session, const void **block, uint32_t *length);

#ifdef __cplusplus
}
#endif

#endif
