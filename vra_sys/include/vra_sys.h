/*
 * vra_sys.h - the handwriting kit's system library (libvra_sys.so).
 *
 * The application initialises the library once with VRA_Init before it uses the kit, and ends it
 * with VRA_Release. In between it keeps the application's keys, the service addresses per
 * capability key, the session limit, the auth path (a writable directory of the application's own
 * files), the device identity and location, the usage history and the log.
 *
 * Configuration. VRA_Init takes one text of key=value items separated by ',' (NULL or "" for the
 * defaults). Key names are case-insensitive; the part of a key after its first '.' (an
 * application key or a capability key) keeps its case. "configfile=PATH" reads a file with the same
 * keys, one item per line ('#' starts a comment line; a value may contain ','); the items of the
 * text itself override those of the file. Keys:
 *   appkey=KEY                 the default application key
 *   devkey=KEY                 developer key of the default application key
 *   devkey.APPKEY=KEY          developer key of another application key
 *   serviceurl=URL             service address for every capability key
 *   serviceurl.CAPKEY=URL      service address for CAPKEY and the keys below it (the longest
 *                              matching prefix wins: serviceurl.hwr.cloud serves hwr.cloud.letter)
 *   maxsessions=N              sessions the kit may hold at once, 1 to 256 (default 8)
 *   authpath=DIR               default $XDG_DATA_HOME/vra_hwr, else ~/.local/share/vra_hwr
 *   history=yes|no             keep the usage history (default yes)
 *   historyfile=PATH           default AUTHPATH/usage_history.bin
 *   latitude=DEG, longitude=DEG  the device location (default unknown: both 0)
 *   udid=, udidtype=N, tid=, eid=, userid=, version=   device identity for service requests
 *                              (udid defaults to a digest of the machine id)
 *   smartspace=yes|no          (default no)
 *   loglevel=N                 0 nothing, 1 failures, 2 warnings, 3 information, 5 trace
 *                              (default 2)
 *   logfile=PATH               append log lines to PATH
 *   logstderr=yes|no           also write to stderr (default: yes unless a log file is named)
 * The environment variables VRA_LOG_LEVEL, VRA_LOG_FILE and VRA_LOG_STDERR override the log keys.
 *
 * Lifetime. Texts returned by the getters stay valid until the next VRA_Init or VRA_Release.
 * vra_get_error_info returns constant texts. Thread safety: every call may be made from any thread;
 * VRA_Init and VRA_Release must not race calls that still use texts returned earlier.
 *
 * Usage history file: a sequence of whole records, each written with one append:
 *   "VRAU", u32 record length (all of it, checksum included), u32 format (1), u64 time in ms since
 *   1970, u32 lengths of appkey, capkey, info, data, result; the five byte strings in that order;
 *   u32 CRC-32 (IEEE) of every byte before it. All numbers little-endian. A reader stops at a
 *   record whose length or checksum does not hold (a torn tail after a crash or power loss); the
 *   library cuts such a tail off before its next append, so later records stay readable. Every
 *   appender holds an exclusive flock(2) on the file while it appends.
 */
#ifndef VRA_SYS_H
#define VRA_SYS_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VRA_SYS_API __attribute__((visibility("default")))
#define VRA_SYS_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define VRA_SYS_API
#define VRA_SYS_PRINTF(f, a)
#endif

/* Codes of the system library's own failures; the kit's codes are listed in vra_hwr.h. */
#define VRA_SYS_ERR_INVALID_ARG 1      /* a null pointer or a bad size */
#define VRA_SYS_ERR_CONFIG 3           /* configuration text or file cannot be parsed */
#define VRA_SYS_ERR_NOT_INITED 100     /* VRA_Init has not been called */
#define VRA_SYS_ERR_ALREADY_INITED 101 /* VRA_Init called twice */
#define VRA_SYS_ERR_CONFIG_FILE 102    /* configfile cannot be read */
#define VRA_SYS_ERR_NO_SERVICE_URL 103 /* no service address configured for the capability */
#define VRA_SYS_ERR_BUFFER_TOO_SMALL 104
#define VRA_SYS_ERR_HISTORY 105 /* the usage history cannot be written */

/* Log levels of VRA_LOG. */
#define VRA_LOG_FAILURE 1
#define VRA_LOG_WARNING 2
#define VRA_LOG_INFO 3
#define VRA_LOG_DEBUG 4
#define VRA_LOG_TRACE 5

/* Initialises the library; 0 on success. A second call without VRA_Release returns 101. */
VRA_SYS_API int VRA_Init(const char *config);
/* Ends the library; 100 when it was not initialised. */
VRA_SYS_API int VRA_Release(void);
/* Non-zero between a successful VRA_Init and VRA_Release. */
VRA_SYS_API int VRA_IsInited(void);
/* The library's own version text, such as "0.1.0". */
VRA_SYS_API const char *VRA_GetVersion(void);

VRA_SYS_API int VRA_GetMaxSessionCount(void);
/* A kit module announces itself (the front end's module code is 2); 100 when not initialised. */
VRA_SYS_API int VRA_SDKLogIn(int module);
VRA_SYS_API int VRA_SDKLogOut(int module);

/* The default application key, "" when none is configured. */
VRA_SYS_API const char *VRA_GetDefaultAppKey(void);
/* The developer key that signs requests of the application key, "" when none is known. */
VRA_SYS_API const char *VRA_GetDeveloperKeyByAppKey(const char *appkey);
/* Writes the service address for the capability key into buf (size bytes, NUL-terminated).
 * 0, or 1 (null argument), 100, 103 (none configured), 104 (buf too small). */
VRA_SYS_API int VRA_ApplyServiceUrlSynch(const char *appkey, const char *capkey, char *buf,
                                         int size);
/* A writable directory of the application's own files, without a trailing '/'. */
VRA_SYS_API const char *VRA_GetAuthPath(void);
/* The device location; both 0 when unknown. Returns 0, or 1 for a null argument. */
VRA_SYS_API int VRA_GetLocation(double *latitude, double *longitude);
VRA_SYS_API int VRA_IsSmartSpace(void);

/* Identity values of service requests. VRA_GetCommonHeaderInfo fills the record with copies that
 * VraFreeCommonHeaderInfo releases (freeing a zeroed record is harmless). */
typedef struct VraCommonHeaderInfo {
    char *tid;
    char *eid;
    char *udid;
    char *userid;
    int udidtype;
    char *version;
} VraCommonHeaderInfo;
VRA_SYS_API int VRA_GetCommonHeaderInfo(VraCommonHeaderInfo *info);
VRA_SYS_API void VraFreeCommonHeaderInfo(VraCommonHeaderInfo *info);

/* One usage item: what one writing (or one request) of a session did. The library copies what it
 * keeps; the pointers stay the caller's. Null pointers count as empty. */
typedef struct VraUserHisItem {
    const char *appkey;
    const char *capkey;
    unsigned int info_len;
    unsigned int data_len;
    unsigned int result_len;
    const char *info;
    const unsigned char *data;
    const unsigned char *result;
} VraUserHisItem;
/* Appends the item to the usage history as one whole record. 0, 1, 100, or 105. */
VRA_SYS_API int vra_append_user_his_item(const VraUserHisItem *item);

/* A constant text for any code of the kit or of this library ("unknown error" otherwise). */
VRA_SYS_API const char *vra_get_error_info(int code);

/* Writes one log line (time, level, thread, then the formatted text) when level is at or below
 * the threshold. Kit formats begin with "[%s][%s]": the module's tag and the function's name. */
VRA_SYS_API void VRA_LOG(int level, const char *format, ...) VRA_SYS_PRINTF(2, 3);

#ifdef __cplusplus
}
#endif

#endif /* VRA_SYS_H */
