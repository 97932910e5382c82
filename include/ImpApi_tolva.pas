{ ImpApi_tolva.pas - the interface of the import plug-in ImpApi_tolva.dll
  for Delphi and Free Pascal ($MODE DELPHI): the constants and function types
  of ImpApi_tolva.h, under the same names and with the same values.

  Every name starts with IMPAPI_TOLVA_ or TImpApiTolva, and the short names of
  release 2.1.3 (resOK, TExportXML, ckLog, ...) stand beside them, so host
  code written for 2.1.3 compiles unchanged. Where another bank's unit uses
  the same short names, the unit named last in the uses clause wins, and a
  qualified name (ImpApi_tolva.resOK) reaches this one; a host that wants the
  prefixed names only defines IMPAPI_TOLVA_NO_SHORT_NAMES in its project
  options (a $DEFINE in the program does not reach the unit). The C header's
  function prototypes have no counterpart here: an external declaration
  would load the DLL by name from the search path, and the DLL must be loaded
  by its full path.

  All functions are stdcall and exported under their plain names: load the
  DLL by its full path (LoadLibraryEx) and take each function with
  GetProcAddress into a variable of the type below. Texts are zero-terminated
  8-bit strings in code page 1252: PAnsiChar, never PChar (which is
  PWideChar from Delphi 2009 on). 32-bit integers are Int32: LongInt is
  64 bits in Delphi's 64-bit targets other than Windows (iOS, Linux, macOS),
  Int32 is 32 bits everywhere.

  The argument sizes matter: a stdcall function removes exactly its own
  arguments from the stack. LastImport is a pointer (4 bytes); declared as
  "const LastImport: Double" it would push 8 bytes and corrupt the caller's
  stack. The release checks these declarations against the DLL's exports. }
unit ImpApi_tolva;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

interface

const
  IMPAPI_TOLVA_DLL = 'ImpApi_tolva.dll';

  { Kinds of host callback reports. }
  IMPAPI_TOLVA_CK_PROGRESS = 2; { Number 5, empty text: a progress pulse }
  IMPAPI_TOLVA_CK_LOG = 3;      { Number 0, one German protocol line }
  IMPAPI_TOLVA_CK_TIMING = 4;   { Number 0, download start or end line }

  { Result codes of ExportXML; GetExportErrorMsg renders those with a text. }
  IMPAPI_TOLVA_RES_OK = 0;                     { answer stored as tolva.xml }
  IMPAPI_TOLVA_ERR_NO_ACCESS_DATA = -11;       { no parameter text }
  IMPAPI_TOLVA_ERR_NO_USER_LOGIN = -12;        { UserLogin missing }
  IMPAPI_TOLVA_ERR_PASSWORD_CANCELLED = -15;   { no password, prompt suppressed or cancelled }
  IMPAPI_TOLVA_ERR_DEPOT_NR_CANCELLED = -16;   { depot number prompt suppressed or cancelled }
  IMPAPI_TOLVA_ERR_ANSWER_FILE = -20;          { tolva.xml could not be written, or TargetDir unusable }
  IMPAPI_TOLVA_ERR_INTERNAL = -21;             { unexpected failure inside the plug-in }
  IMPAPI_TOLVA_ERR_PORTAL = -30;               { the portal answered with an error }
  IMPAPI_TOLVA_RES_DEPOT_NR_IMPORT = -201;     { answer stored, depot number entered at the prompt }
  IMPAPI_TOLVA_ERR_INET_UNSPECIFIED = -1001;
  IMPAPI_TOLVA_ERR_INET_SESSION = -1002;
  IMPAPI_TOLVA_ERR_INET_OPEN_URL = -1003;      { has a text, never returned }
  IMPAPI_TOLVA_ERR_INET_ACCESS_DENIED = -1004;
  IMPAPI_TOLVA_ERR_INET_NOT_FOUND = -1005;
  IMPAPI_TOLVA_ERR_INET_URL_ACCESS = -1006;
  IMPAPI_TOLVA_ERR_INET_INCOMPLETE = -1007;
  IMPAPI_TOLVA_ERR_INET_SERVER_BUSY = -1008;
  IMPAPI_TOLVA_ERR_PROXY_AUTH = -1009;
  IMPAPI_TOLVA_ERR_INET_CONNECT = -1011;
  IMPAPI_TOLVA_ERR_INET_SERVICE = -1013;
  IMPAPI_TOLVA_ERR_INET_REQUEST = -1014;
  IMPAPI_TOLVA_ERR_DOWNLOAD_CANCELLED = -1015;

  { Buffer sizes the caller provides. }
  IMPAPI_TOLVA_VERSION_BUFFER_SIZE = 256; { ImportVersionInfo: a ShortString }
  IMPAPI_TOLVA_MESSAGE_BUFFER_SIZE = 256; { GetExportErrorMsg: 255 characters and the zero }
  IMPAPI_TOLVA_USER_BUFFER_SIZE = 128;    { ApiDataDialog: UserText and PasswordText }
  IMPAPI_TOLVA_EXTRA_BUFFER_SIZE = 4096;  { ApiDataDialog: ExtraData }

  { The number VersionInfo returns: the version of this export interface. }
  IMPAPI_TOLVA_VERSION_INFO = 40300;
  { The host version AppVersionCheck accepts at least. }
  IMPAPI_TOLVA_MIN_HOST_VERSION = 40343;

{$IFNDEF FPC}{$IF not Declared(Int32)}
type
  Int32 = LongInt; { Delphi versions without Int32 are 32-bit Windows only }
{$IFEND}{$ENDIF}

type
  { The host's callback. Text is valid during the call only. Dispatch the
    thread's window messages on IMPAPI_TOLVA_CK_PROGRESS (the progress window
    and its Cancel button live on them); never call the plug-in from here. }
  TImpApiTolvaProgrCallback = procedure(Kind, Number: Int32; Text: PAnsiChar); stdcall;

  { IMPAPI_TOLVA_VERSION_INFO (40300). }
  TImpApiTolvaVersionInfo = function: Int32; stdcall;
  { Writes the interface version into Buffer as a ShortString (length byte,
    no zero). }
  TImpApiTolvaImportVersionInfo = procedure(Buffer: PShortString); stdcall;
  { 0 when HostVersion >= IMPAPI_TOLVA_MIN_HOST_VERSION, else -1. }
  TImpApiTolvaAppVersionCheck = function(HostVersion: Int32): Int32; stdcall;
  { Registers (or, with nil, removes) the callback; returns 0. }
  TImpApiTolvaRegProgrCallback = function(Callback: TImpApiTolvaProgrCallback): Int32; stdcall;
  { One import run; returns a result code. LastImport points to the date of
    the last import, 0 for an initial one (nil counts as 0). }
  TImpApiTolvaExportXML = function(TargetDir, AdvisorNo: PAnsiChar; Reserved: Int32;
    LastImport: PDouble; Params: PAnsiChar): Int32; stdcall;
  { Writes the German text of Code into Buffer and returns 0, or returns -1
    and leaves Buffer untouched. }
  TImpApiTolvaGetExportErrorMsg = function(Code: Int32; Buffer: PAnsiChar): Int32; stdcall;
  { The modal access-data dialog: 1 after OK (UserText and PasswordText
    written, ExtraData never), 2 after Cancel (nothing written). }
  TImpApiTolvaApiDataDialog = function(UserText, PasswordText, ExtraData: PAnsiChar): Int32; stdcall;

{$IFNDEF IMPAPI_TOLVA_NO_SHORT_NAMES}
const
  ckProgress = IMPAPI_TOLVA_CK_PROGRESS;
  ckLog = IMPAPI_TOLVA_CK_LOG;
  ckTiming = IMPAPI_TOLVA_CK_TIMING;

  resOK = IMPAPI_TOLVA_RES_OK;
  errNoAccessData = IMPAPI_TOLVA_ERR_NO_ACCESS_DATA;
  errNoUserLogin = IMPAPI_TOLVA_ERR_NO_USER_LOGIN;
  errPasswordCancelled = IMPAPI_TOLVA_ERR_PASSWORD_CANCELLED;
  errDepotNrCancelled = IMPAPI_TOLVA_ERR_DEPOT_NR_CANCELLED;
  errAnswerFile = IMPAPI_TOLVA_ERR_ANSWER_FILE;
  errInternal = IMPAPI_TOLVA_ERR_INTERNAL;
  errPortalError = IMPAPI_TOLVA_ERR_PORTAL;
  resDepotNrImport = IMPAPI_TOLVA_RES_DEPOT_NR_IMPORT;
  errInetUnspecified = IMPAPI_TOLVA_ERR_INET_UNSPECIFIED;
  errInetSession = IMPAPI_TOLVA_ERR_INET_SESSION;
  errInetOpenUrl = IMPAPI_TOLVA_ERR_INET_OPEN_URL;
  errInetAccessDenied = IMPAPI_TOLVA_ERR_INET_ACCESS_DENIED;
  errInetNotFound = IMPAPI_TOLVA_ERR_INET_NOT_FOUND;
  errInetUrlAccess = IMPAPI_TOLVA_ERR_INET_URL_ACCESS;
  errInetIncomplete = IMPAPI_TOLVA_ERR_INET_INCOMPLETE;
  errInetServerBusy = IMPAPI_TOLVA_ERR_INET_SERVER_BUSY;
  errProxyAuth = IMPAPI_TOLVA_ERR_PROXY_AUTH;
  errInetConnect = IMPAPI_TOLVA_ERR_INET_CONNECT;
  errInetService = IMPAPI_TOLVA_ERR_INET_SERVICE;
  errInetRequest = IMPAPI_TOLVA_ERR_INET_REQUEST;
  errDownloadCancelled = IMPAPI_TOLVA_ERR_DOWNLOAD_CANCELLED;

  IMPAPI_VERSION_BUFFER_SIZE = IMPAPI_TOLVA_VERSION_BUFFER_SIZE;
  IMPAPI_MESSAGE_BUFFER_SIZE = IMPAPI_TOLVA_MESSAGE_BUFFER_SIZE;
  IMPAPI_USER_BUFFER_SIZE = IMPAPI_TOLVA_USER_BUFFER_SIZE;
  IMPAPI_EXTRA_BUFFER_SIZE = IMPAPI_TOLVA_EXTRA_BUFFER_SIZE;

type
  TProgrCallback = TImpApiTolvaProgrCallback;
  TVersionInfo = TImpApiTolvaVersionInfo;
  TImportVersionInfo = TImpApiTolvaImportVersionInfo;
  TAppVersionCheck = TImpApiTolvaAppVersionCheck;
  TRegProgrCallback = TImpApiTolvaRegProgrCallback;
  TExportXML = TImpApiTolvaExportXML;
  TGetExportErrorMsg = TImpApiTolvaGetExportErrorMsg;
  TApiDataDialog = TImpApiTolvaApiDataDialog;
{$ENDIF}

implementation

end.
