#pragma once
// ImpApiINet: the plug-in's network side. One synchronous HTTP(S) request over
// WinINet whose answer body lands in a response sink, the text of the last
// system error for log lines, the form-value encoding and the transport texts.
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "transport/FormValue.h"
#include "transport/ResponseSink.h"
#include "transport/TransportTexts.h"

// Sends one request and appends the answer body to Response. Returns 0 or a
// transport code (-1001 .. -1015). StatusText is cleared on entry and holds
// the HTTP status after a successful send. Log lines go to the host only with
// LogToHost; the progress window shows only with ShowProgress.
int32_t HttpsRequest(const std::string &Server, const std::string &ObjectName, const std::string &Verb,
                     bool Secure, const std::string &AuthUser, const std::string &AuthPassword,
                     const std::string &AcceptType, const std::string &Headers, const std::string &Body,
                     int32_t TimeoutSec, TResponseSink &Response, std::string &StatusText, bool LogToHost,
                     bool ShowProgress);

// "<code>-<system text>", "12002:Zeitüberschreitung (TimeOut)" or "<code>"
// for the calling thread's last error.
std::string SystemErrorText();

namespace ImpApiINet {

// The platform functions the request uses, as one table that defaults to the
// real ones. Tests replace entries to reach what no real server produces on
// demand; nothing else does.
struct TWinINetApi {
    HINTERNET (*InternetOpenA)(LPCSTR Agent, DWORD AccessType, LPCSTR Proxy, LPCSTR ProxyBypass, DWORD Flags);
    BOOL (*InternetSetOptionA)(HINTERNET Handle, DWORD Option, LPVOID Buffer, DWORD Length);
    BOOL (*InternetQueryOptionA)(HINTERNET Handle, DWORD Option, LPVOID Buffer, LPDWORD Length);
    HINTERNET (*InternetConnectA)(HINTERNET Session, LPCSTR Server, INTERNET_PORT Port, LPCSTR User,
                                  LPCSTR Password, DWORD Service, DWORD Flags, DWORD_PTR Context);
    HINTERNET (*HttpOpenRequestA)(HINTERNET Connection, LPCSTR Verb, LPCSTR ObjectName, LPCSTR Version,
                                  LPCSTR Referrer, LPCSTR *AcceptTypes, DWORD Flags, DWORD_PTR Context);
    BOOL (*HttpSendRequestA)(HINTERNET Request, LPCSTR Headers, DWORD HeadersLength, LPVOID Optional,
                             DWORD OptionalLength);
    DWORD (*InternetErrorDlg)(HWND Parent, HINTERNET Request, DWORD Error, DWORD Flags, LPVOID *Data);
    BOOL (*HttpQueryInfoA)(HINTERNET Request, DWORD InfoLevel, LPVOID Buffer, LPDWORD Length, LPDWORD Index);
    BOOL (*InternetReadFile)(HINTERNET Request, LPVOID Buffer, DWORD ToRead, LPDWORD Read);
    BOOL (*InternetCloseHandle)(HINTERNET Handle);
    DWORD (*GetLastError)();
    DWORD (*FormatMessageA)(DWORD Flags, LPCVOID Source, DWORD MessageId, DWORD LanguageId, LPSTR Buffer,
                            DWORD Size, va_list *Arguments);
};

extern TWinINetApi WinINet;
// The table as it is at load: the real functions.
TWinINetApi RealWinINet();

} // namespace ImpApiINet
