/*
 * ImpApi_tolva.h - the interface of the import plug-in ImpApi_tolva.dll.
 *
 * All functions use the stdcall convention and are exported under their
 * undecorated names; load them with LoadLibrary and GetProcAddress.
 * Texts are zero-terminated 8-bit strings in Windows code page 1252.
 * The caller owns every buffer; sizes are given with each function.
 */
#ifndef IMPAPI_TOLVA_H
#define IMPAPI_TOLVA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Kinds of host callback reports. */
enum {
    ckProgress = 2, /* Number 5, empty text: a progress pulse */
    ckLog = 3,      /* Number 0, one German protocol line */
    ckTiming = 4    /* Number 0, download start or end line */
};

/* Result codes of ExportXML; GetExportErrorMsg renders those with a text. */
enum {
    resOK = 0,                     /* answer stored as tolva.xml */
    errNoAccessData = -11,         /* no parameter text */
    errNoUserLogin = -12,          /* UserLogin missing */
    errPasswordCancelled = -15,    /* no password, prompt suppressed or cancelled */
    errDepotNrCancelled = -16,     /* depot number prompt suppressed or cancelled */
    errAnswerFile = -20,           /* tolva.xml could not be written */
    errInternal = -21,             /* unexpected failure inside the plug-in */
    errPortalError = -30,          /* the portal answered with an error */
    resDepotNrImport = -201,       /* answer stored, depot number entered at the prompt */
    errInetUnspecified = -1001,
    errInetSession = -1002,
    errInetOpenUrl = -1003,        /* has a text, never returned */
    errInetAccessDenied = -1004,
    errInetNotFound = -1005,
    errInetUrlAccess = -1006,
    errInetIncomplete = -1007,
    errInetServerBusy = -1008,
    errProxyAuth = -1009,
    errInetConnect = -1011,
    errInetService = -1013,
    errInetRequest = -1014,
    errDownloadCancelled = -1015
};

/* Buffer sizes the caller provides. */
#define IMPAPI_VERSION_BUFFER_SIZE 256 /* ImportVersionInfo */
#define IMPAPI_MESSAGE_BUFFER_SIZE 256 /* GetExportErrorMsg: at most 255 characters and the zero */
#define IMPAPI_USER_BUFFER_SIZE 128     /* ApiDataDialog: UserText and PasswordText */
#define IMPAPI_EXTRA_BUFFER_SIZE 4096   /* ApiDataDialog: ExtraData */

#ifdef _WIN32

typedef void(__stdcall *TProgrCallback)(int32_t Kind, int32_t Number, const char *Text);

/* 40300. */
int32_t __stdcall VersionInfo(void);
/* Writes the interface version "2.1.3" as a length-prefixed string (length byte,
   no zero) into a buffer of IMPAPI_VERSION_BUFFER_SIZE bytes. */
void __stdcall ImportVersionInfo(unsigned char *Buffer);
/* 0 when HostVersion >= 40343, else -1. */
int32_t __stdcall AppVersionCheck(int32_t HostVersion);
/* Registers (or, with NULL, removes) the callback; returns 0. */
int32_t __stdcall RegProgrCallback(TProgrCallback Callback);
/* One import run; returns a result code. LastImport is never NULL; Params may be NULL. */
int32_t __stdcall ExportXML(const char *TargetDir, const char *AdvisorNo, int32_t Reserved,
                            const double *LastImport, const char *Params);
/* Writes the German text of Code into Buffer (IMPAPI_MESSAGE_BUFFER_SIZE bytes) and
   returns 0, or returns -1 and leaves Buffer untouched when Code has no text.
   The text of -30 carries the portal's message and is cut to 255 characters. */
int32_t __stdcall GetExportErrorMsg(int32_t Code, char *Buffer);
/* Shows the modal access-data dialog with the user id and password from the
   buffers. Returns 1 after OK: UserText and PasswordText then hold at most 127
   characters and a zero each (IMPAPI_USER_BUFFER_SIZE); ExtraData
   (IMPAPI_EXTRA_BUFFER_SIZE) is never written. Returns 2 after Cancel, Escape
   or the close box, with all three buffers untouched. */
int32_t __stdcall ApiDataDialog(char *UserText, char *PasswordText, char *ExtraData);

typedef int32_t(__stdcall *TVersionInfo)(void);
typedef void(__stdcall *TImportVersionInfo)(unsigned char *);
typedef int32_t(__stdcall *TAppVersionCheck)(int32_t);
typedef int32_t(__stdcall *TRegProgrCallback)(TProgrCallback);
typedef int32_t(__stdcall *TExportXML)(const char *, const char *, int32_t, const double *, const char *);
typedef int32_t(__stdcall *TGetExportErrorMsg)(int32_t, char *);
typedef int32_t(__stdcall *TApiDataDialog)(char *, char *, char *);

#endif /* _WIN32 */

#ifdef __cplusplus
}
#endif

#endif
