/*
 * ImpApi_tolva.h - the interface of the import plug-in ImpApi_tolva.dll.
 *
 * All functions use the stdcall convention and are exported under their
 * undecorated names; load the DLL by its full path with LoadLibrary and take
 * the functions with GetProcAddress (there is no import library). Texts are
 * zero-terminated 8-bit strings in Windows code page 1252. The caller owns
 * every buffer; sizes are given with each function.
 *
 * Every name this header defines starts with IMPAPI_TOLVA_ or ImpApiTolva,
 * and the short names of release 2.1.3 (resOK, TExportXML, ckLog, the
 * prototypes, ...) stand beside them, so host code written for 2.1.3 compiles
 * unchanged. A host that includes this header beside another bank's plug-in
 * header, whose exports have the same names, defines
 * IMPAPI_TOLVA_NO_SHORT_NAMES before the include and keeps only the prefixed
 * names.
 */
#ifndef IMPAPI_TOLVA_H
#define IMPAPI_TOLVA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Kinds of host callback reports. */
enum {
    IMPAPI_TOLVA_CK_PROGRESS = 2, /* Number 5, empty text: a progress pulse */
    IMPAPI_TOLVA_CK_LOG = 3,      /* Number 0, one German protocol line */
    IMPAPI_TOLVA_CK_TIMING = 4    /* Number 0, download start or end line */
};

/* Result codes of ExportXML; GetExportErrorMsg renders those with a text. */
enum {
    IMPAPI_TOLVA_RES_OK = 0,                     /* answer stored as tolva.xml */
    IMPAPI_TOLVA_ERR_NO_ACCESS_DATA = -11,       /* no parameter text */
    IMPAPI_TOLVA_ERR_NO_USER_LOGIN = -12,        /* UserLogin missing */
    IMPAPI_TOLVA_ERR_PASSWORD_CANCELLED = -15,   /* no password, prompt suppressed or cancelled */
    IMPAPI_TOLVA_ERR_DEPOT_NR_CANCELLED = -16,   /* depot number prompt suppressed or cancelled */
    IMPAPI_TOLVA_ERR_ANSWER_FILE = -20,          /* tolva.xml could not be written, or TargetDir unusable */
    IMPAPI_TOLVA_ERR_INTERNAL = -21,             /* unexpected failure inside the plug-in */
    IMPAPI_TOLVA_ERR_PORTAL = -30,               /* the portal answered with an error */
    IMPAPI_TOLVA_RES_DEPOT_NR_IMPORT = -201,     /* answer stored, depot number entered at the prompt */
    IMPAPI_TOLVA_ERR_INET_UNSPECIFIED = -1001,
    IMPAPI_TOLVA_ERR_INET_SESSION = -1002,
    IMPAPI_TOLVA_ERR_INET_OPEN_URL = -1003,      /* has a text, never returned */
    IMPAPI_TOLVA_ERR_INET_ACCESS_DENIED = -1004,
    IMPAPI_TOLVA_ERR_INET_NOT_FOUND = -1005,
    IMPAPI_TOLVA_ERR_INET_URL_ACCESS = -1006,
    IMPAPI_TOLVA_ERR_INET_INCOMPLETE = -1007,
    IMPAPI_TOLVA_ERR_INET_SERVER_BUSY = -1008,
    IMPAPI_TOLVA_ERR_PROXY_AUTH = -1009,
    IMPAPI_TOLVA_ERR_INET_CONNECT = -1011,
    IMPAPI_TOLVA_ERR_INET_SERVICE = -1013,
    IMPAPI_TOLVA_ERR_INET_REQUEST = -1014,
    IMPAPI_TOLVA_ERR_DOWNLOAD_CANCELLED = -1015
};

/* Buffer sizes the caller provides. */
#define IMPAPI_TOLVA_VERSION_BUFFER_SIZE 256 /* ImportVersionInfo */
#define IMPAPI_TOLVA_MESSAGE_BUFFER_SIZE 256 /* GetExportErrorMsg: at most 255 characters and the zero */
#define IMPAPI_TOLVA_USER_BUFFER_SIZE 128    /* ApiDataDialog: UserText and PasswordText */
#define IMPAPI_TOLVA_EXTRA_BUFFER_SIZE 4096  /* ApiDataDialog: ExtraData */

/* The number VersionInfo returns: the version of this export interface. */
#define IMPAPI_TOLVA_VERSION_INFO 40300
/* The host version AppVersionCheck accepts at least. */
#define IMPAPI_TOLVA_MIN_HOST_VERSION 40343

#ifdef _WIN32

/* The host's callback. Text is never NULL and valid during the call only.
   Dispatch the thread's window messages on IMPAPI_TOLVA_CK_PROGRESS: the
   progress window and its Cancel button live on them. Never call the plug-in
   from inside the callback. */
typedef void(__stdcall *ImpApiTolvaProgrCallback)(int32_t Kind, int32_t Number, const char *Text);

/* VersionInfo(): IMPAPI_TOLVA_VERSION_INFO (40300). */
typedef int32_t(__stdcall *ImpApiTolvaVersionInfo)(void);
/* ImportVersionInfo(Buffer): writes the interface version as a length-prefixed
   string (length byte, no zero) into IMPAPI_TOLVA_VERSION_BUFFER_SIZE bytes. */
typedef void(__stdcall *ImpApiTolvaImportVersionInfo)(unsigned char *Buffer);
/* AppVersionCheck(HostVersion): 0 when HostVersion >= IMPAPI_TOLVA_MIN_HOST_VERSION,
   else -1 (do not import then). */
typedef int32_t(__stdcall *ImpApiTolvaAppVersionCheck)(int32_t HostVersion);
/* RegProgrCallback(Callback): registers (or, with NULL, removes) the callback;
   returns 0. */
typedef int32_t(__stdcall *ImpApiTolvaRegProgrCallback)(ImpApiTolvaProgrCallback Callback);
/* ExportXML(TargetDir, AdvisorNo, Reserved, LastImport, Params): one import
   run; returns a result code. TargetDir: the folder for tolva.xml, 1 to 255
   characters. LastImport points to the host's date of the last import, 0 for
   an initial one (a NULL pointer counts as 0); it is a pointer, 4 bytes on
   the stack: never pass the double itself. Params: name=value lines, may be
   NULL (then -11). */
typedef int32_t(__stdcall *ImpApiTolvaExportXML)(const char *TargetDir, const char *AdvisorNo,
                                                 int32_t Reserved, const double *LastImport,
                                                 const char *Params);
/* GetExportErrorMsg(Code, Buffer): writes the German text of Code into Buffer
   (IMPAPI_TOLVA_MESSAGE_BUFFER_SIZE bytes) and returns 0, or returns -1 and
   leaves Buffer untouched when Code has no text. The text of -30 carries the
   portal's message and is cut to 255 characters. */
typedef int32_t(__stdcall *ImpApiTolvaGetExportErrorMsg)(int32_t Code, char *Buffer);
/* ApiDataDialog(UserText, PasswordText, ExtraData): shows the modal
   access-data dialog with the user id and password from the buffers. Returns
   1 after OK: UserText and PasswordText then hold at most 127 characters and
   a zero each (IMPAPI_TOLVA_USER_BUFFER_SIZE); ExtraData
   (IMPAPI_TOLVA_EXTRA_BUFFER_SIZE) is never written. Returns 2 after Cancel,
   Escape or the close box, with all three buffers untouched. */
typedef int32_t(__stdcall *ImpApiTolvaApiDataDialog)(char *UserText, char *PasswordText, char *ExtraData);

#endif /* _WIN32 */

#ifndef IMPAPI_TOLVA_NO_SHORT_NAMES
enum {
    ckProgress = IMPAPI_TOLVA_CK_PROGRESS,
    ckLog = IMPAPI_TOLVA_CK_LOG,
    ckTiming = IMPAPI_TOLVA_CK_TIMING
};
enum {
    resOK = IMPAPI_TOLVA_RES_OK,
    errNoAccessData = IMPAPI_TOLVA_ERR_NO_ACCESS_DATA,
    errNoUserLogin = IMPAPI_TOLVA_ERR_NO_USER_LOGIN,
    errPasswordCancelled = IMPAPI_TOLVA_ERR_PASSWORD_CANCELLED,
    errDepotNrCancelled = IMPAPI_TOLVA_ERR_DEPOT_NR_CANCELLED,
    errAnswerFile = IMPAPI_TOLVA_ERR_ANSWER_FILE,
    errInternal = IMPAPI_TOLVA_ERR_INTERNAL,
    errPortalError = IMPAPI_TOLVA_ERR_PORTAL,
    resDepotNrImport = IMPAPI_TOLVA_RES_DEPOT_NR_IMPORT,
    errInetUnspecified = IMPAPI_TOLVA_ERR_INET_UNSPECIFIED,
    errInetSession = IMPAPI_TOLVA_ERR_INET_SESSION,
    errInetOpenUrl = IMPAPI_TOLVA_ERR_INET_OPEN_URL,
    errInetAccessDenied = IMPAPI_TOLVA_ERR_INET_ACCESS_DENIED,
    errInetNotFound = IMPAPI_TOLVA_ERR_INET_NOT_FOUND,
    errInetUrlAccess = IMPAPI_TOLVA_ERR_INET_URL_ACCESS,
    errInetIncomplete = IMPAPI_TOLVA_ERR_INET_INCOMPLETE,
    errInetServerBusy = IMPAPI_TOLVA_ERR_INET_SERVER_BUSY,
    errProxyAuth = IMPAPI_TOLVA_ERR_PROXY_AUTH,
    errInetConnect = IMPAPI_TOLVA_ERR_INET_CONNECT,
    errInetService = IMPAPI_TOLVA_ERR_INET_SERVICE,
    errInetRequest = IMPAPI_TOLVA_ERR_INET_REQUEST,
    errDownloadCancelled = IMPAPI_TOLVA_ERR_DOWNLOAD_CANCELLED
};
#define IMPAPI_VERSION_BUFFER_SIZE IMPAPI_TOLVA_VERSION_BUFFER_SIZE
#define IMPAPI_MESSAGE_BUFFER_SIZE IMPAPI_TOLVA_MESSAGE_BUFFER_SIZE
#define IMPAPI_USER_BUFFER_SIZE IMPAPI_TOLVA_USER_BUFFER_SIZE
#define IMPAPI_EXTRA_BUFFER_SIZE IMPAPI_TOLVA_EXTRA_BUFFER_SIZE

#ifdef _WIN32
typedef ImpApiTolvaProgrCallback TProgrCallback;
typedef ImpApiTolvaVersionInfo TVersionInfo;
typedef ImpApiTolvaImportVersionInfo TImportVersionInfo;
typedef ImpApiTolvaAppVersionCheck TAppVersionCheck;
typedef ImpApiTolvaRegProgrCallback TRegProgrCallback;
typedef ImpApiTolvaExportXML TExportXML;
typedef ImpApiTolvaGetExportErrorMsg TGetExportErrorMsg;
typedef ImpApiTolvaApiDataDialog TApiDataDialog;

int32_t __stdcall VersionInfo(void);
void __stdcall ImportVersionInfo(unsigned char *Buffer);
int32_t __stdcall AppVersionCheck(int32_t HostVersion);
int32_t __stdcall RegProgrCallback(TProgrCallback Callback);
int32_t __stdcall ExportXML(const char *TargetDir, const char *AdvisorNo, int32_t Reserved,
                            const double *LastImport, const char *Params);
int32_t __stdcall GetExportErrorMsg(int32_t Code, char *Buffer);
int32_t __stdcall ApiDataDialog(char *UserText, char *PasswordText, char *ExtraData);
#endif /* _WIN32 */
#endif /* IMPAPI_TOLVA_NO_SHORT_NAMES */

#ifdef __cplusplus
}
#endif

#endif
