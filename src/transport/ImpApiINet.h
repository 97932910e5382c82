#pragma once
// ImpApiINet: the plug-in's network side. One synchronous HTTP(S) request over
// WinINet whose answer body lands in a response sink, the text of a system
// error for log lines, the form-value encoding and the transport texts.
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "core/FormValue.h"
#include "core/ResponseSink.h"
#include "core/TransportTexts.h"

// What one request sends. Verb, the credentials and the accept type keep the
// values every import uses unless a caller sets them.
struct THttpsRequest {
    // Every field has a default, so a caller names only what it sets.
    std::string Server{};
    std::string ObjectName{};
    std::string Verb = "POST";
    bool Secure = true;
    std::string AuthUser{}, AuthPassword{};
    std::string AcceptType = "text/plain";
    std::string Headers{};
    // Not copied: the caller owns the text (and wipes it when it is secret).
    std::string_view Body{};
    int32_t TimeoutSec = 0; // 0: the system's timeouts
    // False for an unattended run: a certificate problem is declined and a
    // proxy's 407 ends the request, without the platform's prompts.
    bool Prompts = true;
};

// How a request reaches its caller while it runs: log lines, a tick after each
// piece of the answer, the cancel poll. The request itself shows no window and
// knows no host.
class TRequestObserver {
public:
    // Lines are composed (and the system error read) only when this says so.
    virtual bool WantsLog() const { return false; }
    virtual void Log(const std::string &) {}
    // Before the first handle opens, and after the last one is closed.
    virtual void Begins() {}
    virtual void Ended() noexcept {}
    // Around the reading of the answer body, whether it ends well or not;
    // BodyEnded comes also when BodyBegins throws.
    virtual void BodyBegins() {}
    virtual void BodyEnded() noexcept {}
    virtual void Tick() {}
    // Asked after each piece: true ends the request with errDownloadCancelled.
    virtual bool Cancelled() { return false; }

protected:
    ~TRequestObserver() = default;
};

// Thrown by an observer to end the request at once: the request lets it pass
// its own catch blocks.
struct TRequestAborted {};

// Sends one request and appends the answer body to Response. Returns 0 or a
// transport code (those of TransportErrorText). StatusText is emptied on entry and holds
// the HTTP status as the platform's text after a successful send.
int32_t HttpsRequest(const THttpsRequest &Request, TResponseSink &Response, std::string &StatusText,
                     TRequestObserver &Observer);

// "<code>-<system text>", "12002:Zeitüberschreitung (TimeOut)" or "<code>"
// for a system error code.
std::string SystemErrorText(DWORD Error);

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
    BOOL (*InternetQueryDataAvailable)(HINTERNET Request, LPDWORD Available, DWORD Flags, DWORD_PTR Context);
    BOOL (*InternetReadFile)(HINTERNET Request, LPVOID Buffer, DWORD ToRead, LPDWORD Read);
    BOOL (*InternetReadFileExA)(HINTERNET Request, LPINTERNET_BUFFERSA Buffers, DWORD Flags, DWORD_PTR Context);
    BOOL (*InternetCloseHandle)(HINTERNET Handle);
    DWORD (*GetLastError)();
    DWORD (*FormatMessageA)(DWORD Flags, LPCVOID Source, DWORD MessageId, DWORD LanguageId, LPSTR Buffer,
                            DWORD Size, va_list *Arguments);
};

extern TWinINetApi WinINet;
// The table as it is at load: the real functions.
TWinINetApi RealWinINet();

} // namespace ImpApiINet
