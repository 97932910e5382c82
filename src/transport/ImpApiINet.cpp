#include "transport/ImpApiINet.h"

#include <algorithm>
#include <atomic>
#include <cctype>
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
    .InternetReadFileExA = IMPAPI_REAL(InternetReadFileExA),
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
// Over HTTPS the request follows redirects itself, so that each hop is checked
// before anything is sent there.
constexpr DWORD kSecureFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_AUTO_REDIRECT;
// Hops within the configured server before a redirect counts as a failure.
constexpr int kMaxRedirects = 10;
constexpr DWORD kChunk = 65535;
// A read or a wait that saw this much: the link keeps up, and the next read
// takes what has arrived without asking first. Wine's wait never reports
// more than its 8 KiB read buffer, and its read without waiting waits for a
// whole piece when that buffer is empty: a slow link is therefore only read
// after a wait, in the pieces the wait saw.
constexpr DWORD kKeepingUp = 8192;
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

// A redirect the platform would follow when the answer names its target.
bool IsRedirect(const std::string &Status) {
    return Status == "301" || Status == "302" || Status == "303" || Status == "307" || Status == "308";
}

// A header's text of any length up to 1 MiB, or false when the answer has none.
bool QueryLongHeader(HINTERNET Request, DWORD InfoLevel, std::string &Value) {
    std::string buffer(INTERNET_MAX_URL_LENGTH + 1, '\0');
    DWORD length = static_cast<DWORD>(buffer.size()), index = 0;
    bool read = WinINet.HttpQueryInfoA(Request, InfoLevel, buffer.data(), &length, &index);
    if (!read && length > buffer.size() && length < (1u << 20)) {
        buffer.assign(length + 1, '\0');
        length = static_cast<DWORD>(buffer.size());
        index = 0;
        read = WinINet.HttpQueryInfoA(Request, InfoLevel, buffer.data(), &length, &index);
    }
    if (read)
        Value.assign(buffer.data(), strnlen(buffer.data(), std::min<std::size_t>(length, buffer.size())));
    return read;
}

// A redirect's target read against the object that answered on Server over
// HTTPS: an absolute URL. Dot segments are left to the server.
std::string ResolvedUrl(const std::string &Server, const std::string &Object, const std::string &Location) {
    const std::size_t colon = Location.find(':');
    const bool hasScheme = colon != std::string::npos && colon > 0 && Location.find_first_of("/?#") > colon &&
                           std::isalpha(static_cast<unsigned char>(Location[0]));
    if (hasScheme)
        return Location;
    if (Location.starts_with("//"))
        return "https:" + Location;
    const std::string base = "https://" + Server;
    if (Location.starts_with('/'))
        return base + Location;
    const std::string path = Object.substr(0, Object.find_first_of("?#"));
    if (Location.empty() || Location.starts_with('#'))
        return base + Object.substr(0, Object.find('#'));
    if (Location.starts_with('?'))
        return base + path + Location;
    const std::size_t slash = path.rfind('/');
    return base + (slash == std::string::npos ? "/" : path.substr(0, slash + 1)) + Location;
}

// The object name of Url when Url lies on the configured server, over HTTPS
// on port 443; false for any other place.
bool OnSecureServer(std::string_view Url, const std::string &Server, std::string &ObjectName) {
    constexpr std::string_view scheme = "https://";
    if (Url.size() < scheme.size() || !EqualsIgnoringCase(Url.substr(0, scheme.size()), scheme))
        return false;
    const std::string_view rest = Url.substr(scheme.size());
    const std::size_t end = std::min(rest.find_first_of("/?#"), rest.size());
    const std::string_view authority = rest.substr(0, end);
    if (!EqualsIgnoringCase(authority, Server) && !EqualsIgnoringCase(authority, Server + ":443"))
        return false;
    const std::string_view path = rest.substr(end, rest.find('#', end) - end);
    ObjectName = path.starts_with('/') ? std::string(path) : "/" + std::string(path);
    return true;
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

// Bounds a wait for data that the platform's receive time-out may not cover
// (its documentation names none for that wait): a second after the time-out
// a thread of the pool closes the request, which is how another thread may
// cancel a blocking call. No bound without a time-out.
class TWaitBound {
public:
    TWaitBound(HINTERNET Request, DWORD TimeoutMs) : request_(Request) {
        if (TimeoutMs > 0 && TimeoutMs <= INFINITE - 1 - kGraceMs &&
            !CreateTimerQueueTimer(&timer_, nullptr, &Expired, this, TimeoutMs + kGraceMs, 0, WT_EXECUTEONLYONCE))
            timer_ = nullptr;
    }
    ~TWaitBound() { Disarm(); }
    TWaitBound(const TWaitBound &) = delete;
    TWaitBound &operator=(const TWaitBound &) = delete;
    // Stops the timer, waiting for it when it runs; true when it closed the request.
    bool Disarm() noexcept {
        if (timer_)
            DeleteTimerQueueTimer(nullptr, std::exchange(timer_, nullptr), INVALID_HANDLE_VALUE);
        return closed_;
    }

private:
    static constexpr DWORD kGraceMs = 1000;
    static void CALLBACK Expired(PVOID Self, BOOLEAN) {
        auto *self = static_cast<TWaitBound *>(Self);
        self->closed_ = true;
        try {
            WinINet.InternetCloseHandle(self->request_);
        } catch (...) {
        }
    }
    HINTERNET request_;
    HANDLE timer_ = nullptr;
    std::atomic<bool> closed_{false};
};

// One call of HttpsRequest: the request, where its lines go and its handles
// (closed request first, session last).
struct TCall {
    const THttpsRequest &Req;
    TResponseSink &Response;
    std::string &StatusText;
    TRequestObserver &Observer;
    // Shared by all handles of the call (see IgnoreRevocation).
    DWORD SecurityFlags = 0;
    // The reading: the receive time-out of the request, and whether the link
    // kept up with the last read.
    DWORD WaitLimitMs = 0;
    bool KeepsUp = false;
    // Only an answer of announced length is read without asking first: where
    // the connection's end is the body's end, Wine's read without waiting
    // takes a reset for that end, and only the wait sees it fail.
    bool LengthKnown = false;
    // Where the request goes now: the configured object, or a redirect's.
    struct {
        std::string ObjectName, Verb;
        std::string_view Body;
    } Hop{};
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
                  WinINet.HttpOpenRequestA(Connection.get(), Hop.Verb.c_str(), Hop.ObjectName.c_str(), nullptr,
                                           nullptr, acceptTypes,
                                           kRequestFlags | (Req.Secure ? kSecureFlags : 0), 0),
                  false))
            return errInetService;
        return resOK;
    }

    // The certificate prompt; true when the user accepts and the request goes again.
    bool CertificateAccepted(DWORD Error) const {
        if (!Req.Prompts) {
            LogText("InternetErrorDlg: unterdrückt (NoMessageBoxes)");
            LogText("Zertifikat-Fehler (Invalid CA): Abbruch durch Benutzer.");
            return false;
        }
        LPVOID data = nullptr;
        const DWORD selection = WinINet.InternetErrorDlg(
            GetDesktopWindow(), Request.get(), Error,
            FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
            &data);
        Log([selection] { return "InternetErrorDlg: Selection = " + std::to_string(selection); });
        if (selection != ERROR_SUCCESS && selection != ERROR_INTERNET_FORCE_RETRY) {
            LogText("Zertifikat-Fehler (Invalid CA): Abbruch durch Benutzer.");
            return false;
        }
        return true;
    }

    int32_t SendUntilAccepted() const {
        // Never a null pointer, also for a body left unset.
        const std::string_view body = Hop.Body.data() ? Hop.Body : std::string_view("", 0);
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
        } catch (const TRequestAborted &) {
            throw;
        } catch (...) {
            LogText("WinINet-Exception (HttpSendRequest)");
            return errInetUnspecified;
        }
    }

    // Over HTTPS, a redirect that names its target: the next hop, checked
    // before anything is sent there. resOK to follow it.
    int32_t NextHop(const std::string &Location, int Hops) {
        const std::string url = ResolvedUrl(Req.Server, Hop.ObjectName, Location);
        std::string objectName;
        if (!OnSecureServer(url, Req.Server, objectName)) {
            Log([&] { return "Weiterleitung abgelehnt (nicht HTTPS oder anderer Server): " + url.substr(0, kMaxUrlInLine); });
            return errInetUrlAccess;
        }
        if (Hops > kMaxRedirects) {
            Log([&] { return "HTTP-Fehler: " + StatusText; });
            return errInetUrlAccess;
        }
        Hop.ObjectName = std::move(objectName);
        // As the platform follows: 307 and 308 repeat the request, the others fetch.
        if (StatusText != "307" && StatusText != "308" && Hop.Verb != "GET" && Hop.Verb != "HEAD") {
            Hop.Verb = "GET";
            Hop.Body = {};
        }
        return resOK;
    }

    // The proxy's prompt after a 407; resOK when it asks to send again.
    int32_t ProxyRetry() const {
        if (!Req.Prompts) {
            LogText("HTTP-Fehler 407: Authentifizierung erforderlich.");
            return errProxyAuth;
        }
        LPVOID data = nullptr;
        const DWORD selection =
            WinINet.InternetErrorDlg(GetDesktopWindow(), Request.get(), ERROR_INTERNET_INCORRECT_PASSWORD,
                                     FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS, &data);
        if (selection == ERROR_SUCCESS) {
            LogText("HTTP-Fehler 407: Authentifizierung erforderlich.");
            return errProxyAuth;
        }
        return selection == ERROR_INTERNET_FORCE_RETRY ? resOK : errInetUnspecified;
    }

    // Connection, request and send, until the answer is no proxy's 407 and,
    // over HTTPS, no redirect within the configured server.
    int32_t Exchange() {
        Hop = {Req.ObjectName, Req.Verb, Req.Body};
        for (int hops = 0;;) {
            if (const int32_t failed = OpenRequest(); failed != resOK)
                return failed;
            if (const int32_t failed = Send(); failed != resOK)
                return failed;
            if (!QueryHeader(Request.get(), HTTP_QUERY_STATUS_CODE, StatusText))
                StatusText = "200";
            std::string location;
            if (Req.Secure && IsRedirect(StatusText) && QueryLongHeader(Request.get(), HTTP_QUERY_LOCATION, location)) {
                if (const int32_t refused = NextHop(location, ++hops); refused != resOK)
                    return refused;
            } else if (StatusText != "407") {
                return resOK;
            } else if (const int32_t refused = ProxyRetry(); refused != resOK) {
                return refused;
            }
            // The next hop, or a retry with credentials: a fresh connection and
            // request. The old connection is closed too rather than left open
            // until the end.
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

    // What has arrived, up to a whole piece, without asking first: 0 bytes
    // when nothing has (or the body has ended).
    bool ReadArrived(char *Into, DWORD &Read) const {
        INTERNET_BUFFERSA piece = {};
        piece.dwStructSize = sizeof piece;
        piece.lpvBuffer = Into;
        piece.dwBufferLength = kChunk;
        const bool read = WinINet.InternetReadFileExA(Request.get(), &piece, IRF_NO_WAIT, 0);
        Read = read ? std::min(piece.dwBufferLength, kChunk) : 0;
        return read;
    }

    // Waits until more has arrived or the body has ended (Available 0),
    // bounded by the receive time-out (see TWaitBound).
    bool WaitForData(DWORD &Available) {
        TWaitBound bound{Request.get(), WaitLimitMs};
        // A request the bound closed is not closed again.
        const ScopeExit forget([&] {
            if (bound.Disarm())
                Request.release();
        });
        const bool waited = WinINet.InternetQueryDataAvailable(Request.get(), &Available, 0, 0);
        return !bound.Disarm() && waited;
    }

    // One piece into Into; Read 0: the body has ended. While the link keeps
    // up, a read takes what has arrived, up to a whole piece, without asking
    // first; otherwise, and when that brings nothing, the wait asks what has
    // arrived and the read takes that, which is where a slow link shows each
    // piece, the end of the body shows, and a stalled link ends.
    bool ReadPiece(char *Into, DWORD &Read) {
        if (KeepsUp) {
            if (!ReadArrived(Into, Read))
                return false;
            KeepsUp = LengthKnown && Read >= kKeepingUp;
            if (Read > 0)
                return true;
        }
        DWORD available = 0;
        if (!WaitForData(available))
            return false;
        // With nothing, the read that confirms the end reads 0, and a
        // broken-off link fails.
        const DWORD toRead = std::clamp<DWORD>(available, 1, kChunk);
        if (!WinINet.InternetReadFile(Request.get(), Into, toRead, &Read))
            return false;
        Read = std::min(Read, toRead);
        KeepsUp = LengthKnown && available >= kKeepingUp;
        return true;
    }

    TBodyEnd ReadAll() {
        // The caller's progress display closes however the reading ends, also
        // when its first tick throws.
        const ScopeExit bodyEnded([this] { Observer.BodyEnded(); });
        Observer.BodyBegins();
        const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk + 1);
        // A read that straddled two of the sink's blocks left answer bytes here.
        const ScopeExit wipeBuffer([&buffer] { WipeBytes(buffer.get(), kChunk + 1); });
        DWORD length = sizeof WaitLimitMs;
        if (!WinINet.InternetQueryOptionA(Request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &WaitLimitMs, &length))
            WaitLimitMs = 0;
        for (;;) {
            // Straight into the sink where it has room for a whole piece; the
            // buffer only takes a piece that would straddle two of its blocks.
            char *const space = Response.Space(kChunk);
            DWORD read = 0;
            // A body that breaks off is not complete, whatever length it announced.
            if (!ReadPiece(space ? space : buffer.get(), read))
                return TBodyEnd::Failed;
            if (read == 0)
                return TBodyEnd::Complete;
            if (space)
                Response.Commit(read);
            else
                Response.Append(buffer.get(), read);
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
        LengthKnown = expectedLength > 0;
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
