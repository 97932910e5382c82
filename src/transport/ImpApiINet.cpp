#include "transport/ImpApiINet.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include <ImpApi_tolva.h>
#include "base/Handles.h"
#include "core/Texts.h"
#include "core/IntegerText.h"

namespace ImpApiINet {
namespace {

// A captureless generic lambda converts to any matching function pointer at
// compile time; the table is therefore constant-initialised.
#define IMPAPI_REAL(name) [](auto... args) { return ::name(args...); }
constexpr TWinINetApi kRealWinINet = {
    .InternetOpenA = IMPAPI_REAL(InternetOpenA),
    .InternetSetOptionA = IMPAPI_REAL(InternetSetOptionA),
    .InternetQueryOptionA = IMPAPI_REAL(InternetQueryOptionA),
    .InternetConnectA = IMPAPI_REAL(InternetConnectA),
    .HttpOpenRequestA = IMPAPI_REAL(HttpOpenRequestA),
    .HttpSendRequestA = IMPAPI_REAL(HttpSendRequestA),
    .InternetErrorDlg = IMPAPI_REAL(InternetErrorDlg),
    .HttpQueryInfoA = IMPAPI_REAL(HttpQueryInfoA),
    .InternetQueryDataAvailable = IMPAPI_REAL(InternetQueryDataAvailable),
    .InternetReadFile = IMPAPI_REAL(InternetReadFile),
    .InternetCloseHandle = IMPAPI_REAL(InternetCloseHandle),
    .GetLastError = IMPAPI_REAL(GetLastError),
    .FormatMessageA = IMPAPI_REAL(FormatMessageA),
};
#undef IMPAPI_REAL

} // namespace

constinit TWinINetApi WinINet = kRealWinINet;
TWinINetApi RealWinINet() { return kRealWinINet; }

} // namespace ImpApiINet

using ImpApiINet::WinINet;

namespace {

// No certificate problem is ignored silently: a wrong host name or an expired
// certificate reaches the certificate prompt like an unknown issuer does, so
// the password never goes to a server nobody agreed to.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kChunk = 65535;
// A redirect's target in a log line: as long as a URL usually gets.
constexpr std::size_t kMaxUrlInLine = INTERNET_MAX_URL_LENGTH;

// Internet handles close through the table, so that tests see the order.
struct SeamInternetTraits {
    using Type = HINTERNET;
    static HINTERNET Invalid() { return nullptr; }
    static void Close(HINTERNET Handle) { WinINet.InternetCloseHandle(Handle); }
};
using TInternetHandle = UniqueHandle<SeamInternetTraits>;

// Option failures are of no consequence to the request: ignored, like the
// exceptions a replaced table may raise.
void SetTimeouts(HINTERNET Handle, int32_t TimeoutSec) {
    DWORD ms = static_cast<DWORD>(std::min<uint64_t>(uint64_t(TimeoutSec) * 1000, 0xFFFFFFFFu));
    try {
        WinINet.InternetSetOptionA(Handle, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
        WinINet.InternetSetOptionA(Handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
    } catch (...) {
    }
}

// Flags is shared by all handles of one call: a failed query leaves the value
// the previous query returned.
void IgnoreRevocation(HINTERNET Handle, DWORD &Flags) {
    try {
        DWORD length = sizeof Flags;
        WinINet.InternetQueryOptionA(Handle, INTERNET_OPTION_SECURITY_FLAGS, &Flags, &length);
        Flags |= SECURITY_FLAG_IGNORE_REVOCATION;
        WinINet.InternetSetOptionA(Handle, INTERNET_OPTION_SECURITY_FLAGS, &Flags, sizeof Flags);
    } catch (...) {
    }
}

// A header value as text, or false when the request has none.
bool QueryHeader(HINTERNET Request, DWORD InfoLevel, std::string &Value) {
    char buffer[32] = {};
    DWORD length = sizeof buffer, index = 0;
    if (!WinINet.HttpQueryInfoA(Request, InfoLevel, buffer, &length, &index))
        return false;
    Value.assign(buffer, strnlen(buffer, std::min<DWORD>(length, sizeof buffer)));
    return true;
}

// The announced length, read by the plug-in's integer rules (a sign, "$",
// "0x"); -1 for a text that is no integer. A number too large for any integer
// type is still a length, one that no body reaches (cut to 32 bits,
// 4294967306 would pass a body of 10 bytes).
int64_t ParseLength(const std::string &Text) { return ParseWideInteger(Text).value_or(-1); }

bool EqualsIgnoringCase(std::string_view A, std::string_view B) {
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? a + 32 : a) == (b >= 'A' && b <= 'Z' ? b + 32 : b);
           });
}

// Where the answer came from: the platform follows redirects by itself (and
// Wine also from HTTPS to plain HTTP). An answer counts as the configured
// server's only when it came over HTTPS from that host on port 443; a URL that
// cannot be read counts as another server's. Url gets what the platform said.
bool AnsweredBySecureServer(HINTERNET Request, const std::string &Server, std::string &Url) {
    std::string buffer(INTERNET_MAX_URL_LENGTH + 1, '\0');
    DWORD length = static_cast<DWORD>(buffer.size());
    bool read = WinINet.InternetQueryOptionA(Request, INTERNET_OPTION_URL, buffer.data(), &length);
    if (!read && length > buffer.size() && length < (1u << 20)) {
        buffer.assign(length + 1, '\0');
        length = static_cast<DWORD>(buffer.size());
        read = WinINet.InternetQueryOptionA(Request, INTERNET_OPTION_URL, buffer.data(), &length);
    }
    if (!read)
        return false;
    Url.assign(buffer.data(), strnlen(buffer.data(), std::min<std::size_t>(length, buffer.size())));
    constexpr std::string_view scheme = "https://";
    if (Url.size() < scheme.size() || !EqualsIgnoringCase(std::string_view(Url).substr(0, scheme.size()), scheme))
        return false;
    const std::string_view rest = std::string_view(Url).substr(scheme.size());
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    return EqualsIgnoringCase(authority, Server) || EqualsIgnoringCase(authority, Server + ":443");
}

// What a status other than 407 means: the code and the log line.
struct TStatusRule {
    const char *Status;
    int32_t Code;
    const char *Line; // nullptr: no line
};
constexpr TStatusRule kStatusRules[] = {
    {"200", resOK, nullptr},
    {"302", resOK, nullptr},
    {"401", errInetAccessDenied, "HTTP-Fehler 401: Zugriff verweigert."},
    {"403", errInetAccessDenied, "HTTP-Fehler 403: Zugriff verweigert."},
    {"404", errInetNotFound, "HTTP-Fehler 404: Die Seite wurde nicht gefunden."},
    {"503", errInetServerBusy, "HTTP-Fehler 503: Der Server ist vorübergehend überlastet."},
};

enum class TBodyEnd { Complete, Failed, Cancelled };

// One call of HttpsRequest: the request, where its lines go and its handles
// (closed request first, session last).
struct TCall {
    const THttpsRequest &Req;
    TResponseSink &Response;
    std::string &StatusText;
    TRequestObserver &Observer;
    // Shared by all handles of the call (see IgnoreRevocation).
    DWORD SecurityFlags = 0;
    TInternetHandle Session{}, Connection{}, Request{};

    // Lines are composed (and the system error text made) only when one is wanted.
    template <class F> void Log(F Line) const {
        if (Observer.WantsLog())
            Observer.Log(Line());
    }
    void LogText(const char *Text) const { Log([Text] { return std::string(Text); }); }
    void LogSystemError() const {
        const DWORD error = WinINet.GetLastError();
        Log([error] { return "WinINet-Systemfehler: " + SystemErrorText(error); });
    }

    // Takes a freshly opened handle: a failure is logged, a handle gets the
    // timeouts and keeps revocation unchecked (the session's always, the
    // others only with a timeout, as they always had).
    bool Open(TInternetHandle &Handle, HINTERNET Opened, bool IsSession) {
        Handle = TInternetHandle(Opened);
        if (!Handle) {
            LogSystemError();
            return false;
        }
        if (Req.TimeoutSec > 0)
            SetTimeouts(Handle.get(), Req.TimeoutSec);
        if (IsSession || Req.TimeoutSec > 0)
            IgnoreRevocation(Handle.get(), SecurityFlags);
        return true;
    }

    int32_t OpenSession() {
        return Open(Session, WinINet.InternetOpenA("VEKT-ImportApi", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0),
                    true)
                   ? resOK
                   : errInetSession;
    }

    int32_t OpenRequest() {
        if (!Open(Connection,
                  WinINet.InternetConnectA(Session.get(), Req.Server.c_str(),
                                           Req.Secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT,
                                           Req.AuthUser.c_str(), Req.AuthPassword.c_str(), INTERNET_SERVICE_HTTP, 0, 0),
                  false))
            return errInetConnect;
        LPCSTR acceptTypes[2] = {Req.AcceptType.c_str(), nullptr};
        if (!Open(Request,
                  WinINet.HttpOpenRequestA(Connection.get(), Req.Verb.c_str(), Req.ObjectName.c_str(), nullptr,
                                           nullptr, acceptTypes,
                                           kRequestFlags | (Req.Secure ? INTERNET_FLAG_SECURE : 0), 0),
                  false))
            return errInetService;
        return resOK;
    }

    // The platform's prompt runs a message loop that serves the host's
    // messages: what the host raises there ends the request.
    DWORD Prompt(DWORD Error, DWORD Flags) const {
        DWORD selection = ERROR_CANCELLED;
        HostBarrier::CallBox([&] {
            LPVOID data = nullptr;
            selection = WinINet.InternetErrorDlg(GetDesktopWindow(), Request.get(), Error, Flags, &data);
        });
        return selection;
    }

    // The certificate prompt; true when the user accepts and the request goes again.
    bool CertificateAccepted(DWORD Error) const {
        if (!Req.Prompts) {
            LogText("InternetErrorDlg: unterdrückt (NoMessageBoxes)");
            LogText("Zertifikat-Fehler (Invalid CA): Abbruch durch Benutzer.");
            return false;
        }
        const DWORD selection = Prompt(Error, FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                                  FLAGS_ERROR_UI_FLAGS_GENERATE_DATA);
        Log([selection] { return "InternetErrorDlg: Selection = " + std::to_string(selection); });
        if (selection != ERROR_SUCCESS && selection != ERROR_INTERNET_FORCE_RETRY) {
            LogText("Zertifikat-Fehler (Invalid CA): Abbruch durch Benutzer.");
            return false;
        }
        return true;
    }

    int32_t SendUntilAccepted() const {
        // Never a null pointer, also for a body left unset.
        const std::string_view body = Req.Body.data() ? Req.Body : std::string_view("", 0);
        while (!WinINet.HttpSendRequestA(Request.get(), Req.Headers.c_str(), static_cast<DWORD>(Req.Headers.size()),
                                         const_cast<char *>(body.data()), static_cast<DWORD>(body.size()))) {
            const DWORD error = WinINet.GetLastError();
            if (error != ERROR_INTERNET_SEC_CERT_DATE_INVALID && error != ERROR_INTERNET_SEC_CERT_CN_INVALID &&
                error != ERROR_INTERNET_INVALID_CA) {
                LogSystemError();
                return errInetRequest;
            }
            if (!CertificateAccepted(error))
                return errInetRequest;
        }
        return resOK;
    }

    int32_t Send() const {
        try {
            return SendUntilAccepted();
        } catch (const THostRaised &) {
            throw;
        } catch (...) {
            LogText("WinINet-Exception (HttpSendRequest)");
            return errInetUnspecified;
        }
    }

    bool FromSecureServer() const {
        std::string url;
        if (AnsweredBySecureServer(Request.get(), Req.Server, url))
            return true;
        Log([&] { return "Weiterleitung abgelehnt (nicht HTTPS oder anderer Server): " + url.substr(0, kMaxUrlInLine); });
        return false;
    }

    // The proxy's prompt after a 407; resOK when it asks to send again.
    int32_t ProxyRetry() const {
        if (!Req.Prompts) {
            LogText("HTTP-Fehler 407: Authentifizierung erforderlich.");
            return errProxyAuth;
        }
        const DWORD selection = Prompt(ERROR_INTERNET_INCORRECT_PASSWORD,
                                       FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS);
        if (selection == ERROR_SUCCESS) {
            LogText("HTTP-Fehler 407: Authentifizierung erforderlich.");
            return errProxyAuth;
        }
        return selection == ERROR_INTERNET_FORCE_RETRY ? resOK : errInetUnspecified;
    }

    // Connection, request and send, until the answer is no proxy's 407.
    int32_t Exchange() {
        for (;;) {
            if (const int32_t failed = OpenRequest(); failed != resOK)
                return failed;
            if (const int32_t failed = Send(); failed != resOK)
                return failed;
            if (!QueryHeader(Request.get(), HTTP_QUERY_STATUS_CODE, StatusText))
                StatusText = "200";
            if (Req.Secure && !FromSecureServer())
                return errInetUrlAccess;
            if (StatusText != "407")
                return resOK;
            if (const int32_t refused = ProxyRetry(); refused != resOK)
                return refused;
            // Retry with credentials: a fresh connection and request. The old
            // connection is closed too rather than left open until the end.
            Request.reset();
            Connection.reset();
        }
    }

    int32_t CheckStatus() const {
        for (const TStatusRule &rule : kStatusRules) {
            if (StatusText != rule.Status)
                continue;
            if (rule.Line)
                LogText(rule.Line);
            return rule.Code;
        }
        Log([&] { return "HTTP-Fehler: " + StatusText; });
        return errInetUrlAccess;
    }

    TBodyEnd ReadAll() {
        // The caller's progress display closes however the reading ends, also
        // when its first tick throws.
        const ScopeExit bodyEnded([this] { Observer.BodyEnded(); });
        Observer.BodyBegins();
        const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk + 1);
        // A read that straddled two of the sink's blocks left answer bytes here.
        const ScopeExit wipeBuffer([&buffer] { WipeBytes(buffer.get(), kChunk + 1); });
        for (;;) {
            // Ask for what has arrived: a read of more waits until that much
            // came, and a slow link would see no tick, nor its Cancel, meanwhile.
            // Nothing available is asked for one byte: the end reads 0.
            DWORD available = 0;
            if (!WinINet.InternetQueryDataAvailable(Request.get(), &available, 0, 0))
                return TBodyEnd::Failed;
            const DWORD toRead = std::clamp<DWORD>(available, 1, kChunk);
            DWORD read = 0;
            // Straight into the sink where it has room for a whole read; the
            // buffer only takes a read that would straddle two of its blocks.
            char *const space = Response.Space(toRead);
            // A body that breaks off is not complete, whatever length it announced.
            if (!WinINet.InternetReadFile(Request.get(), space ? space : buffer.get(), toRead, &read))
                return TBodyEnd::Failed;
            if (read == 0)
                return TBodyEnd::Complete;
            if (space)
                Response.Commit(std::min(read, toRead));
            else
                Response.Append(buffer.get(), std::min(read, toRead));
            Observer.Tick();
            if (Observer.Cancelled()) {
                LogText("Download durch Benutzer abgebrochen");
                return TBodyEnd::Cancelled;
            }
        }
    }

    int32_t ReadBody() {
        std::string lengthText;
        const int64_t expectedLength =
            QueryHeader(Request.get(), HTTP_QUERY_CONTENT_LENGTH, lengthText) ? ParseLength(lengthText) : 0;
        const TBodyEnd end = ReadAll();
        if (end == TBodyEnd::Cancelled)
            return errDownloadCancelled;
        const std::size_t size = Response.Size();
        if (end == TBodyEnd::Failed || size == 0 ||
            (expectedLength > 0 && static_cast<uint64_t>(size) != static_cast<uint64_t>(expectedLength))) {
            Log([size] {
                return "Fehler bei Download: Die angeforderte Datei wurde nur unvollständig geladen (" +
                       std::to_string(size) + " Bytes geladen)";
            });
            return errInetIncomplete;
        }
        return resOK;
    }
};

} // namespace

std::string SystemErrorText(DWORD error) {
    char text[1024];
    const DWORD length = WinINet.FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0, text, 1023, nullptr);
    if (length > 0)
        return std::to_string(error) + "-" + std::string(text, std::min<DWORD>(length, 1023));
    if (error == ERROR_INTERNET_TIMEOUT)
        return std::to_string(error) + ":Zeitüberschreitung (TimeOut)";
    return std::to_string(error);
}

int32_t HttpsRequest(const THttpsRequest &Request, TResponseSink &Response, std::string &StatusText,
                     TRequestObserver &Observer) {
    StatusText.clear();
    Observer.Begins();
    // Declared before the handles: the caller hears of the end after they are closed.
    const ScopeExit ended([&Observer] { Observer.Ended(); });
    TCall call{.Req = Request, .Response = Response, .StatusText = StatusText, .Observer = Observer};
    if (const int32_t failed = call.OpenSession(); failed != resOK)
        return failed;
    if (const int32_t failed = call.Exchange(); failed != resOK)
        return failed;
    if (const int32_t refused = call.CheckStatus(); refused != resOK)
        return refused;
    return call.ReadBody();
}
