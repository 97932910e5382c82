// HttpsRequest through the WinINet table: what a real server cannot produce on
// demand (failing opens and options, each prompt answer, an exception while
// sending, missing system texts) and the exact calls, options and closing order.
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <stdexcept>

#include "InetTest.h"
#include "dialogs/ImpApiDownloadProgress.h"

// Scripts name only the fields they set.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using ImpApiINet::WinINet;

namespace {

struct Fake {
    // The script.
    bool openFails = false, connectFails = false, requestFails = false;
    std::deque<DWORD> sendErrors;          // per send: 0 succeeds
    bool sendThrows = false;
    std::deque<DWORD> selections;          // InternetErrorDlg answers
    std::deque<std::optional<std::string>> statuses; // per status query; none: the query fails
    std::optional<std::string> length;     // the Content-Length query
    std::deque<std::string> chunks;        // each arrives at once ("": a pause); then the end...
    bool availableFails = false, arrivedFails = false;
    bool stalls = false;                   // the wait for data lasts until the request is closed
    DWORD receiveTimeout = 0;              // what the request's time-out query answers
    bool readFailsAtEnd = false, readThrows = false; // ...or a failed or throwing read
    char queryFailsFor = 0;                // security-flag queries fail on handles starting with this letter
    bool optionsThrow = false;
    DWORD securityFlags = 0x100;           // what a working query answers
    std::deque<std::string> locations;     // the Location of each redirect, in order
    DWORD lastError = 5;
    const char *systemText = "Zugriff verweigert.\r\n"; // null: FormatMessageA has none

    // What happened.
    std::vector<std::string> calls;
    int formatCalls = 0;
    bool waitCursorWhileSending = false;

    std::map<HINTERNET, std::string> names;
    int connections = 0, requests = 0;
    std::string server;
    HINTERNET Make(const std::string &name) {
        HINTERNET h = reinterpret_cast<HINTERNET>(static_cast<uintptr_t>(0x1000 + names.size()));
        names[h] = name;
        return h;
    }
    std::string Name(HINTERNET h) { return names.count(h) ? names[h] : "?"; }
};
Fake *g = nullptr;
HANDLE g_requestClosed = nullptr; // set when a request handle is closed

std::string Text(LPCSTR s) { return s ? "'" + std::string(s) + "'" : "null"; }
std::string Hex(DWORD v) {
    char t[16];
    std::snprintf(t, sizeof t, "0x%lX", static_cast<unsigned long>(v));
    return t;
}

const ImpApiINet::TWinINetApi kFake = {
    .InternetOpenA = [](LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags) -> HINTERNET {
        g->calls.push_back("open " + Text(agent) + " " + std::to_string(access) + " " + Text(proxy) + " " +
                           Text(bypass) + " " + std::to_string(flags));
        return g->openFails ? nullptr : g->Make("S");
    },
    .InternetSetOptionA = [](HINTERNET h, DWORD option, LPVOID buffer, DWORD length) -> BOOL {
        EXPECT_EQ(length, 4u);
        g->calls.push_back("set " + g->Name(h) + " " + std::to_string(option) + " " +
                           (option == 31 ? Hex(*static_cast<DWORD *>(buffer))
                                         : std::to_string(*static_cast<DWORD *>(buffer))));
        if (g->optionsThrow)
            throw std::runtime_error("option");
        return FALSE;
    },
    .InternetQueryOptionA = [](HINTERNET h, DWORD option, LPVOID buffer, LPDWORD length) -> BOOL {
        g->calls.push_back("query " + g->Name(h) + " " + std::to_string(option));
        EXPECT_EQ(*length, 4u);
        if (option == INTERNET_OPTION_RECEIVE_TIMEOUT) {
            *static_cast<DWORD *>(buffer) = g->receiveTimeout;
            return TRUE;
        }
        if (g->queryFailsFor == g->Name(h)[0])
            return FALSE;
        *static_cast<DWORD *>(buffer) = g->securityFlags;
        return TRUE;
    },
    .InternetConnectA = [](HINTERNET s, LPCSTR server, INTERNET_PORT port, LPCSTR user, LPCSTR password,
                           DWORD service, DWORD flags, DWORD_PTR context) -> HINTERNET {
        g->calls.push_back("connect " + g->Name(s) + " " + Text(server) + " " + std::to_string(port) + " " +
                           Text(user) + " " + Text(password) + " " + std::to_string(service) + " " +
                           std::to_string(flags) + " " + std::to_string(context));
        g->server = server;
        return g->connectFails ? nullptr : g->Make("C" + std::to_string(++g->connections));
    },
    .HttpOpenRequestA = [](HINTERNET c, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,
                           LPCSTR *accept, DWORD flags, DWORD_PTR context) -> HINTERNET {
        g->calls.push_back("request " + g->Name(c) + " " + Text(verb) + " " + Text(object) + " " + Text(version) +
                           " " + Text(referrer) + " [" + Text(accept[0]) + " " + Text(accept[1]) + "] " +
                           Hex(flags) + " " + std::to_string(context));
        return g->requestFails ? nullptr : g->Make("R" + std::to_string(++g->requests));
    },
    .HttpSendRequestA = [](HINTERNET r, LPCSTR headers, DWORD headersLength, LPVOID body, DWORD bodyLength) -> BOOL {
        g->calls.push_back("send " + g->Name(r) + " " + Text(headers) + " " + std::to_string(headersLength) + " " +
                           Text(static_cast<LPCSTR>(body)) + " " + std::to_string(bodyLength));
        g->waitCursorWhileSending = Framework::ScreenCursor() == IDC_WAIT;
        if (g->sendThrows)
            throw std::runtime_error("send");
        const DWORD error = g->sendErrors.empty() ? 0 : g->sendErrors.front();
        if (!g->sendErrors.empty())
            g->sendErrors.pop_front();
        g->lastError = error;
        return error == 0;
    },
    .InternetErrorDlg = [](HWND parent, HINTERNET r, DWORD error, DWORD flags, LPVOID *data) -> DWORD {
        g->calls.push_back(std::string("prompt ") + (parent == GetDesktopWindow() ? "desktop " : "? ") + g->Name(r) +
                           " " + std::to_string(error) + " " + std::to_string(flags) +
                           (data && !*data ? " null" : " ?"));
        const DWORD selection = g->selections.front();
        g->selections.pop_front();
        return selection;
    },
    .HttpQueryInfoA = [](HINTERNET r, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index) -> BOOL {
        EXPECT_EQ(*index, 0u);
        g->calls.push_back("info " + g->Name(r) + " " + std::to_string(level));
        if (level == HTTP_QUERY_LOCATION) {
            if (g->locations.empty())
                return FALSE;
            const std::string location = g->locations.front();
            if (*length <= location.size()) {
                *length = static_cast<DWORD>(location.size() + 1);
                return FALSE;
            }
            g->locations.pop_front();
            std::memcpy(buffer, location.c_str(), location.size() + 1);
            *length = static_cast<DWORD>(location.size());
            return TRUE;
        }
        EXPECT_EQ(*length, 32u);
        std::optional<std::string> value = g->length;
        if (level == HTTP_QUERY_STATUS_CODE) {
            value = g->statuses.empty() ? std::optional<std::string>("200") : g->statuses.front();
            if (!g->statuses.empty())
                g->statuses.pop_front();
        }
        if (!value)
            return FALSE;
        std::memcpy(buffer, value->c_str(), value->size() + 1);
        *length = static_cast<DWORD>(value->size());
        return TRUE;
    },
    .InternetQueryDataAvailable = [](HINTERNET r, LPDWORD available, DWORD flags, DWORD_PTR context) -> BOOL {
        g->calls.push_back("avail " + g->Name(r) + " " + std::to_string(flags) + " " + std::to_string(context));
        if (g->stalls) {
            // Until someone closes the request (at most 10 s: the test fails then).
            EXPECT_EQ(WaitForSingleObject(g_requestClosed, 10000), WAIT_OBJECT_0);
            return FALSE;
        }
        *available = g->chunks.empty() ? 0 : static_cast<DWORD>(g->chunks.front().size());
        return !g->availableFails;
    },
    .InternetReadFile = [](HINTERNET r, LPVOID buffer, DWORD toRead, LPDWORD read) -> BOOL {
        g->calls.push_back("read " + g->Name(r) + " " + std::to_string(toRead));
        if (g->chunks.empty()) {
            if (g->readThrows)
                throw std::runtime_error("read");
            *read = 0;
            return !g->readFailsAtEnd;
        }
        // A read takes no more than it asks for; the rest stays available.
        std::string &chunk = g->chunks.front();
        *read = std::min<DWORD>(toRead, static_cast<DWORD>(chunk.size()));
        std::memcpy(buffer, chunk.data(), *read);
        chunk.erase(0, *read);
        if (chunk.empty())
            g->chunks.pop_front();
        return TRUE;
    },
    .InternetReadFileExA = [](HINTERNET r, LPINTERNET_BUFFERSA buffers, DWORD flags, DWORD_PTR context) -> BOOL {
        EXPECT_EQ(buffers->dwStructSize, sizeof *buffers);
        EXPECT_EQ(flags, static_cast<DWORD>(IRF_NO_WAIT));
        EXPECT_EQ(context, 0u);
        g->calls.push_back("arrived " + g->Name(r) + " " + std::to_string(buffers->dwBufferLength));
        std::string arrived;
        if (!g->chunks.empty()) {
            std::string &chunk = g->chunks.front();
            arrived = chunk.substr(0, buffers->dwBufferLength);
            chunk.erase(0, arrived.size());
            if (chunk.empty())
                g->chunks.pop_front();
        }
        std::memcpy(buffers->lpvBuffer, arrived.data(), arrived.size());
        buffers->dwBufferLength = static_cast<DWORD>(arrived.size());
        return !g->arrivedFails;
    },
    .InternetCloseHandle = [](HINTERNET h) -> BOOL {
        g->calls.push_back("close " + g->Name(h));
        if (g->Name(h)[0] == 'R')
            SetEvent(g_requestClosed);
        return TRUE;
    },
    .GetLastError = []() -> DWORD { return g->lastError; },
    .FormatMessageA = [](DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR buffer, DWORD size,
                         va_list *arguments) -> DWORD {
        ++g->formatCalls;
        EXPECT_EQ(flags, 0x1000u);
        EXPECT_EQ(source, nullptr);
        EXPECT_EQ(id, g->lastError);
        EXPECT_EQ(language, 0u);
        EXPECT_EQ(size, 1023u);
        EXPECT_EQ(arguments, nullptr);
        if (!g->systemText)
            return 0;
        std::strcpy(buffer, g->systemText);
        return static_cast<DWORD>(std::strlen(g->systemText));
    },
};

class InetSeam : public InetTest {
protected:
    Fake fake;
    InetCall call;
    void SetUp() override {
        InetTest::SetUp();
        g = &fake;
        g_requestClosed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        WinINet = kFake;
        call.server = "portal.example";
        call.timeoutSec = 0;
        fake.chunks = {"body"};
    }
    void TearDown() override {
        WinINet = ImpApiINet::RealWinINet();
        CloseHandle(g_requestClosed);
        g = nullptr;
        InetTest::TearDown();
    }
    // The calls from the status query on, and how many before it.
    std::vector<std::string> CallsFrom(const std::string &prefix) {
        for (size_t i = 0; i < fake.calls.size(); ++i)
            if (fake.calls[i].rfind(prefix, 0) == 0)
                return {fake.calls.begin() + i, fake.calls.end()};
        return {};
    }
};

const std::vector<std::string> kOptions180 = {"set # 5 180000", "set # 6 180000", "query # 31", "set # 31 0x180"};
std::vector<std::string> Options(const std::string &handle) {
    std::vector<std::string> out;
    for (std::string line : kOptions180)
        out.push_back(line.replace(line.find('#'), 1, handle));
    return out;
}
template <class... V> std::vector<std::string> Join(const V &...parts) {
    std::vector<std::string> out;
    (out.insert(out.end(), parts.begin(), parts.end()), ...);
    return out;
}
using Lines = std::vector<std::string>;
// The reading of two pieces of 4 bytes: the receive time-out, then each
// piece after a wait that saw it, then the end: the wait sees nothing, the
// read that confirms the end.
const Lines kEnd2x4 = {"query R1 6",    "avail R1 0 0", "read R1 4", "avail R1 0 0", "read R1 4",
                       "avail R1 0 0",  "read R1 1",    "close R1",  "close C1",     "close S"};

} // namespace

TEST_F(InetSeam, EveryCallWithItsArgumentsAndTheClosingOrder) {
    call.secure = true;
    call.timeoutSec = 180;
    call.authUser = "u";
    call.authPassword = "p";
    call.headers = "X-A: 1\r\n";
    call.body = "a=1";
    fake.length = "8";
    fake.chunks = {"body", "more"};
    const InetOutcome out = call.Run();
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.body, "bodymore");
    EXPECT_TRUE(fake.waitCursorWhileSending);
    EXPECT_EQ(fake.calls, Join(Lines{"open 'VEKT-ImportApi' 0 null null 0"}, Options("S"),
                               Lines{"connect S 'portal.example' 443 'u' 'p' 3 0 0"}, Options("C1"),
                               Lines{"request C1 'POST' '/Webservice/vekt.aspx' null null ['text/plain' null] "
                                     "0x84A00000 0"},
                               Options("R1"),
                               Lines{"send R1 'X-A: 1\r\n' 8 'a=1' 3", "info R1 19", "info R1 5"}, kEnd2x4));
}

TEST_F(InetSeam, WithoutTimeOutOnlyTheSessionGetsTheRevocationFlag) {
    for (int32_t timeout : {0, -5}) {
        fake = Fake{};
        fake.chunks = {"body"};
        call.timeoutSec = timeout;
        EXPECT_EQ(call.Run().result, 0);
        EXPECT_EQ(fake.calls,
                  (Lines{"open 'VEKT-ImportApi' 0 null null 0", "query S 31", "set S 31 0x180",
                         "connect S 'portal.example' 80 '' '' 3 0 0",
                         "request C1 'POST' '/Webservice/vekt.aspx' null null ['text/plain' null] 0x84000000 0",
                         "send R1 '' 0 '' 0", "info R1 19", "info R1 5", "query R1 6", "avail R1 0 0", "read R1 4",
                         "avail R1 0 0", "read R1 1", "close R1", "close C1", "close S"}))
            << timeout;
    }
}

TEST_F(InetSeam, OptionFailuresAreIgnored) {
    call.timeoutSec = 180;
    // A failed flag query keeps the value the previous one returned.
    fake.queryFailsFor = 'C';
    fake.securityFlags = 0x3300;
    EXPECT_EQ(call.Run().result, 0);
    EXPECT_EQ(CallsFrom("query C1"), Join(Lines{"query C1 31", "set C1 31 0x3380"}, CallsFrom("request C1")));
    // The first one failing starts from 0.
    fake = Fake{.queryFailsFor = 'S'};
    fake.chunks = {"x"};
    EXPECT_EQ(call.Run().result, 0);
    EXPECT_EQ(fake.calls.at(4), "set S 31 0x80");
    // Options that throw change nothing either.
    fake = Fake{.optionsThrow = true};
    fake.chunks = {"x"};
    const InetOutcome out = call.Run();
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.lines, Lines{});
}

TEST_F(InetSeam, TimeOutBeyondTheMillisecondRangeIsTheLongestOne) {
    call.timeoutSec = INT32_MAX;
    EXPECT_EQ(call.Run().result, 0);
    EXPECT_EQ(fake.calls.at(1), "set S 5 4294967295");
}

TEST_F(InetSeam, HandlesThatCannotBeOpened) {
    const struct {
        bool Fake::*fails;
        int32_t result;
        Lines closed;
    } cases[] = {
        {&Fake::openFails, errInetSession, {}},
        {&Fake::connectFails, errInetConnect, {"close S"}},
        {&Fake::requestFails, errInetService, {"close C1", "close S"}},
    };
    for (const auto &c : cases) {
        fake = Fake{};
        fake.*c.fails = true;
        const InetOutcome out = call.Run();
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.status, "");
        EXPECT_EQ(out.lines, Lines{"WinINet-Systemfehler: 5-Zugriff verweigert.\r\n"});
        EXPECT_EQ(CallsFrom("close"), c.closed);
    }
}

TEST_F(InetSeam, SystemErrorTexts) {
    // The fake's system text checks it is asked for the code given.
    fake.lastError = 5;
    EXPECT_EQ(SystemErrorText(5), "5-Zugriff verweigert.\r\n");
    fake.lastError = 0x80070005; // as an unsigned number
    EXPECT_EQ(SystemErrorText(0x80070005), "2147942405-Zugriff verweigert.\r\n");
    fake.systemText = nullptr;
    fake.lastError = ERROR_INTERNET_TIMEOUT;
    EXPECT_EQ(SystemErrorText(ERROR_INTERNET_TIMEOUT), "12002:Zeit\xFC" "berschreitung (TimeOut)");
    fake.lastError = 12029;
    EXPECT_EQ(SystemErrorText(12029), "12029");
    fake.lastError = 0;
    EXPECT_EQ(SystemErrorText(0), "0");
}

TEST_F(InetSeam, SendFailures) {
    fake.systemText = nullptr;
    fake.sendErrors = {ERROR_INTERNET_TIMEOUT};
    InetOutcome out = call.Run();
    EXPECT_EQ(out.result, errInetRequest);
    EXPECT_EQ(out.status, "");
    EXPECT_EQ(out.lines, Lines{"WinINet-Systemfehler: 12002:Zeit\xFC" "berschreitung (TimeOut)"});
    EXPECT_EQ(CallsFrom("close"), (Lines{"close R1", "close C1", "close S"}));

    fake = Fake{.sendThrows = true};
    out = call.Run();
    EXPECT_EQ(out.result, errInetUnspecified);
    EXPECT_EQ(out.status, "");
    EXPECT_EQ(out.lines, Lines{"WinINet-Exception (HttpSendRequest)"});
    EXPECT_EQ(CallsFrom("close"), (Lines{"close R1", "close C1", "close S"}));
}

TEST_F(InetSeam, CertificatePromptAnswers) {
    for (DWORD error : {ERROR_INTERNET_SEC_CERT_DATE_INVALID, ERROR_INTERNET_SEC_CERT_CN_INVALID,
                        ERROR_INTERNET_INVALID_CA}) {
        const std::string e = std::to_string(error);
        // Accepted twice (each needs a new failure), then sent.
        fake = Fake{.sendErrors = {error, error}, .selections = {0, ERROR_INTERNET_FORCE_RETRY}};
        fake.chunks = {"ok"};
        InetOutcome out = call.Run();
        EXPECT_EQ(out.result, 0) << e;
        EXPECT_EQ(out.lines, (Lines{"InternetErrorDlg: Selection = 0", "InternetErrorDlg: Selection = 12032"}));
        EXPECT_EQ(CallsFrom("send"), Join(Lines{"send R1 '' 0 '' 0", "prompt desktop R1 " + e + " 7 null",
                                                "send R1 '' 0 '' 0", "prompt desktop R1 " + e + " 7 null",
                                                "send R1 '' 0 '' 0"},
                                          CallsFrom("info")));
        // Declined.
        fake = Fake{.sendErrors = {error}, .selections = {ERROR_CANCELLED}};
        out = call.Run();
        EXPECT_EQ(out.result, errInetRequest) << e;
        EXPECT_EQ(out.lines, (Lines{"InternetErrorDlg: Selection = 1223",
                                    "Zertifikat-Fehler (Invalid CA): Abbruch durch Benutzer."}));
        EXPECT_EQ(CallsFrom("close"), (Lines{"close R1", "close C1", "close S"}));
    }
}

TEST_F(InetSeam, StatusQueryFailingCountsAsTwoHundred) {
    fake.statuses = {std::nullopt};
    const InetOutcome out = call.Run();
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.status, "200");
    EXPECT_EQ(out.body, "body");
}

TEST_F(InetSeam, ProxyPromptAnswers) {
    // Cancelled at the platform's prompt: 0 is "no credentials given".
    fake.statuses = {"407"};
    fake.selections = {0};
    InetOutcome out = call.Run();
    EXPECT_EQ(out.result, errProxyAuth);
    EXPECT_EQ(out.status, "407");
    EXPECT_EQ(out.lines, Lines{"HTTP-Fehler 407: Authentifizierung erforderlich."});
    EXPECT_EQ(CallsFrom("prompt"), (Lines{"prompt desktop R1 12014 3 null", "close R1", "close C1", "close S"}));

    // Credentials given: a new connection and request; the old ones are closed first.
    fake = Fake{.selections = {ERROR_INTERNET_FORCE_RETRY}, .statuses = {"407", "200"}};
    fake.chunks = {"ok"};
    out = call.Run();
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.status, "200");
    EXPECT_EQ(out.lines, Lines{});
    EXPECT_EQ(CallsFrom("prompt"),
              (Lines{"prompt desktop R1 12014 3 null", "close R1", "close C1",
                     "connect S 'portal.example' 80 '' '' 3 0 0",
                     "request C2 'POST' '/Webservice/vekt.aspx' null null ['text/plain' null] 0x84000000 0",
                     "send R2 '' 0 '' 0", "info R2 19", "info R2 5", "query R2 6", "avail R2 0 0", "read R2 2",
                     "avail R2 0 0", "read R2 1", "close R2", "close C2", "close S"}));

    // Any other answer: the code stays -1001, without a line.
    fake = Fake{.selections = {ERROR_CANCELLED}, .statuses = {"407"}};
    out = call.Run();
    EXPECT_EQ(out.result, errInetUnspecified);
    EXPECT_EQ(out.lines, Lines{});
    EXPECT_EQ(CallsFrom("close"), (Lines{"close R1", "close C1", "close S"}));
}

TEST_F(InetSeam, AnnouncedLengthsThatAreNoNumber) {
    for (const char *length : {"zehn", "-5", "-99999999999999999999", "", " 4", "4x"}) {
        fake = Fake{.length = length};
        fake.chunks = {"body", "more"};
        EXPECT_EQ(call.Run().result, 0) << length;
    }
    // Numbers beyond 32 bits are lengths too, never reached by 8 bytes.
    for (const char *length : {"4", "99999999999", "4294967304", "99999999999999999999999"}) {
        fake = Fake{.length = length};
        fake.chunks = {"body", "more"};
        EXPECT_EQ(call.Run().result, errInetIncomplete) << length;
    }
}

// A read that fails ends a download as incomplete even when the announced
// length has arrived.
TEST_F(InetSeam, FailedReadIsIncompleteWhateverTheLength) {
    fake.length = "4";
    fake.readFailsAtEnd = true;
    const InetOutcome out = call.Run();
    EXPECT_EQ(out.result, errInetIncomplete);
    EXPECT_EQ(out.body, "body");
    EXPECT_EQ(out.lines, Lines{"Fehler bei Download: Die angeforderte Datei wurde nur unvollst\xE4ndig geladen (4 Bytes geladen)"});
}

TEST_F(InetSeam, ExceptionWhileReadingPassesAfterCleanUp) {
    fake.readThrows = true;
    TResponseSink sink;
    std::string status;
    ReportRecorder::reports.clear();
    TImportObserver observer(true, true);
    EXPECT_THROW(HttpsRequest({.Server = "s", .ObjectName = "/", .Secure = false}, sink, status, observer),
                 std::runtime_error);
    EXPECT_EQ(CallsFrom("close"), (Lines{"close R1", "close C1", "close S"}));
    EXPECT_EQ(Framework::ScreenCursor(), IDC_APPSTARTING);
    EXPECT_EQ(ProgressCancelButton(), nullptr);
    EXPECT_FALSE(DownloadCancelled());
    // Window opened, one chunk, window closed.
    EXPECT_EQ(ReportRecorder::reports.size(), 3u);
    EXPECT_EQ(sink.Substr(0, 10), "body");
}

TEST_F(InetSeam, ProgressTicksFollowEveryChunk) {
    for (bool show : {false, true}) {
        fake = Fake{};
        fake.chunks = {"a", "b", "c"};
        call.showProgress = show;
        const InetOutcome out = call.Run();
        EXPECT_EQ(out.result, 0);
        EXPECT_EQ(out.ticks, show ? 5 : 3);
    }
}

TEST_F(InetSeam, NoLinesWithoutLogToHostOrCallback) {
    for (bool logToHost : {false, true}) {
        if (logToHost)
            RegProgrCallback(nullptr);
        call.logToHost = logToHost;
        for (int path = 0; path < 6; ++path) {
            fake = Fake{};
            switch (path) {
            case 0: fake.openFails = true; break;
            case 1: fake.connectFails = true; break;
            case 2: fake.requestFails = true; break;
            case 3: fake.sendErrors = {12029}; break;
            case 4:
                fake.sendErrors = {ERROR_INTERNET_INVALID_CA};
                fake.selections = {1223};
                break;
            case 5: fake.statuses = {"404"}; break;
            }
            const InetOutcome out = call.Run();
            EXPECT_NE(out.result, 0);
            EXPECT_EQ(out.lines, Lines{}) << path;
            EXPECT_EQ(fake.formatCalls, 0) << path;
        }
    }
}

// The status is its text: only the exact texts carry their meaning, and the
// lines say what the platform handed back.
TEST_F(InetSeam, StatusIsComparedAndLoggedAsItsText) {
    const struct {
        const char *status;
        int32_t result;
    } cases[] = {
        {"0200", errInetUrlAccess}, {"200 ", errInetUrlAccess}, {"+302", errInetUrlAccess},
        {"0407", errInetUrlAccess}, {"0404", errInetUrlAccess}, {"OK", errInetUrlAccess},
        {"", errInetUrlAccess},     {"4294967496", errInetUrlAccess}, // 200 beyond 32 bits
        {"302", 0},
    };
    for (const auto &c : cases) {
        fake = Fake{.statuses = {c.status}};
        fake.chunks = {"body"};
        const InetOutcome out = call.Run();
        EXPECT_EQ(out.result, c.result) << c.status;
        EXPECT_EQ(out.status, c.status);
        EXPECT_EQ(out.lines, c.result ? Lines{"HTTP-Fehler: " + std::string(c.status)} : Lines{}) << c.status;
        EXPECT_EQ(CallsFrom("prompt"), Lines{}) << c.status;
    }
}

TEST_F(InetSeam, BodyLeftUnsetIsSentAsAnEmptyText) {
    TResponseSink sink;
    std::string status;
    TImportObserver observer(false, false);
    EXPECT_EQ(HttpsRequest({.Server = "s", .Secure = false}, sink, status, observer), 0);
    EXPECT_EQ(CallsFrom("send").at(0), "send R1 '' 0 '' 0");
}

// An unattended run: no prompt, the certificate problem declined, the proxy's
// demand refused.
TEST_F(InetSeam, WithoutPromptsNoPlatformDialog) {
    call.prompts = false;
    for (DWORD error : {ERROR_INTERNET_SEC_CERT_DATE_INVALID, ERROR_INTERNET_SEC_CERT_CN_INVALID,
                        ERROR_INTERNET_INVALID_CA}) {
        fake = Fake{.sendErrors = {error}};
        const InetOutcome out = call.Run();
        EXPECT_EQ(out.result, errInetRequest) << error;
        EXPECT_EQ(out.lines, (Lines{"InternetErrorDlg: unterdr\xFC" "ckt (NoMessageBoxes)",
                                    "Zertifikat-Fehler (Invalid CA): Abbruch durch Benutzer."}));
        EXPECT_EQ(CallsFrom("prompt"), Lines{});
        EXPECT_EQ(CallsFrom("close"), (Lines{"close R1", "close C1", "close S"}));
    }
    fake = Fake{.statuses = {"407"}};
    const InetOutcome out = call.Run();
    EXPECT_EQ(out.result, errProxyAuth);
    EXPECT_EQ(out.status, "407");
    EXPECT_EQ(out.lines, Lines{"HTTP-Fehler 407: Authentifizierung erforderlich."});
    EXPECT_EQ(CallsFrom("prompt"), Lines{});
    EXPECT_EQ(CallsFrom("close"), (Lines{"close R1", "close C1", "close S"}));
}

// A slow link is read in the pieces a wait saw; once a wait or a read saw
// 8 KiB of an answer of announced length, the link keeps up and each read
// takes what has arrived, at most 65,535 bytes, without asking first, until
// one brings less. Each piece ticks.
TEST_F(InetSeam, ReadsTakeWhatHasArrived) {
    fake.length = "100003";
    fake.chunks = {"a", std::string(100000, 'b'), "", "cc"};
    InetOutcome out = call.Run();
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.body, "a" + std::string(100000, 'b') + "cc");
    EXPECT_EQ(out.ticks, 2 + 4);
    EXPECT_EQ(CallsFrom("query R1 6"),
              (Lines{"query R1 6", "avail R1 0 0", "read R1 1", "avail R1 0 0", "read R1 65535", "arrived R1 65535",
                     "arrived R1 65535", "avail R1 0 0", "read R1 2", "avail R1 0 0", "read R1 1", "close R1",
                     "close C1", "close S"}));
    // A read or a wait that fails ends the body like the confirming read's failure.
    for (bool Fake::*fails : {&Fake::arrivedFails, &Fake::availableFails}) {
        fake = Fake{.length = "10004"};
        fake.chunks = {std::string(10000, 'x'), "more"};
        fake.*fails = true;
        out = call.Run();
        EXPECT_EQ(out.result, errInetIncomplete);
        EXPECT_EQ(out.body.size(), fails == &Fake::arrivedFails ? 10000u : 0u);
    }
    // Without an announced length every piece is read after a wait.
    fake = Fake{};
    fake.chunks = {std::string(10000, 'x'), "more"};
    EXPECT_EQ(call.Run().result, 0);
    EXPECT_EQ(CallsFrom("arrived"), Lines{});
}

// A link that stalls while the platform's wait ignores its receive time-out:
// a second after the time-out the request is closed, which ends the wait; it
// is not closed twice.
TEST_F(InetSeam, AStalledWaitEndsAfterTheReceiveTimeOut) {
    fake.chunks = {};
    fake.stalls = true;
    fake.receiveTimeout = 1000;
    const InetOutcome out = call.Run();
    EXPECT_EQ(out.result, errInetIncomplete);
    EXPECT_EQ(out.lines, Lines{"Fehler bei Download: Die angeforderte Datei wurde nur unvollst\xE4ndig geladen (0 Bytes geladen)"});
    EXPECT_EQ(CallsFrom("query R1 6"), (Lines{"query R1 6", "avail R1 0 0", "close R1", "close C1", "close S"}));
    EXPECT_EQ(out.ticks, 2);
}

// Over HTTPS the request follows a redirect only within the configured server,
// on port 443, and checks each hop before anything is sent there: a 301, 302
// or 303 fetches with GET, a 307 or 308 repeats the request.
TEST_F(InetSeam, RedirectsAreFollowedOnlyWithinTheSecureServer) {
    call.secure = true;
    call.body = "a=1";
    const std::string longPath = "/" + std::string(3000, 'p');
    const struct {
        const char *status;
        std::string location, next; // next: the object fetched, "": refused
        std::string url = "";       // the refused hop as the line names it: the location
    } cases[] = {
        {"302", "https://portal.example/Webservice/other.aspx", "/Webservice/other.aspx"},
        {"301", "HTTPS://Portal.Example:443/other?x#part", "/other?x"},
        {"303", "/absolute", "/absolute"},
        {"302", "relative", "/Webservice/relative"},
        {"302", "?page=2", "/Webservice/vekt.aspx?page=2"},
        {"307", "https://portal.example" + longPath, longPath},
        {"308", "https://portal.example", "/"},
        {"302", "http://portal.example/Webservice/vekt.aspx", ""},
        {"307", "https://portal.example:8443/", ""},
        {"302", "https://other.example/", ""},
        {"302", "https://portal.example.other/", ""},
        {"302", "https://user@portal.example/", ""},
        {"302", "//other.example/x", "", "https://other.example/x"},
        {"302", "https:/portal.example/", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.location);
        fake = Fake{.statuses = {c.status, "200"}, .locations = {c.location}};
        fake.chunks = {"body"};
        const InetOutcome out = call.Run();
        const Lines sends = CallsFrom("send");
        if (c.next.empty()) {
            EXPECT_EQ(out.result, errInetUrlAccess);
            EXPECT_EQ(out.body, "");
            EXPECT_EQ(out.lines, Lines{"Weiterleitung abgelehnt (nicht HTTPS oder anderer Server): " +
                                       (c.url.empty() ? c.location : c.url)});
            EXPECT_EQ(CallsFrom("info R1 33"), (Lines{"info R1 33", "close R1", "close C1", "close S"}));
            continue;
        }
        EXPECT_EQ(out.result, 0);
        EXPECT_EQ(out.body, "body");
        const bool again = c.status[2] == '7' || c.status[2] == '8';
        EXPECT_EQ(CallsFrom("close R1").at(3), "request C2 '" + std::string(again ? "POST" : "GET") + "' '" + c.next +
                                                  "' null null ['text/plain' null] 0x84A00000 0");
        EXPECT_EQ(CallsFrom("send R2").at(0), again ? "send R2 '' 0 'a=1' 3" : "send R2 '' 0 '' 0");
    }
    // Eleven hops within the server are one too many.
    fake = Fake{};
    for (int hop = 0; hop <= 11; ++hop) {
        fake.statuses.push_back("302");
        fake.locations.push_back("/hop" + std::to_string(hop));
    }
    InetOutcome out = call.Run();
    EXPECT_EQ(out.result, errInetUrlAccess);
    EXPECT_EQ(out.lines, Lines{"HTTP-Fehler: 302"});
    EXPECT_EQ(fake.requests, 11);
    // A redirect that names no target is the answer, as the platform leaves it.
    fake = Fake{.statuses = {"302"}};
    fake.chunks = {"moved"};
    out = call.Run();
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.body, "moved");
    // Plain HTTP leaves redirects to the platform.
    call.secure = false;
    fake = Fake{.statuses = {"302"}, .locations = {"http://elsewhere/"}};
    fake.chunks = {"body"};
    EXPECT_EQ(call.Run().result, 0);
    EXPECT_EQ(CallsFrom("info R1 33"), Lines{});
}
