// HttpsRequest on real WinINet against the loopback portal.
#include <atomic>
#include <thread>

#include "InetTest.h"
#include "Portal.h"
#include "dialogs/ImpApiDownloadProgress.h"

namespace {

const std::string kIncomplete = "Fehler bei Download: Die angeforderte Datei wurde nur unvollst\xE4ndig geladen (";

class InetPortal : public InetTest {
protected:
    PortalServer portal;
    InetCall call;
    void SetUp() override {
        InetTest::SetUp();
        call.server = portal.Address();
    }
};

// Answers the platform's prompt (a dialog of this process) from another
// thread, as a user would: the prompt is modal on the thread that sends.
class PlatformPrompt {
public:
    explicit PlatformPrompt(int Button, const char *Caption = nullptr)
        : caption_(Caption), thread_([this, Button] {
              while (!stop_) {
                  if (HWND prompt = OwnPrompt(); prompt && IsWindowVisible(prompt)) {
                      ++answered_;
                      PostMessageA(prompt, WM_COMMAND, Button, 0);
                      while (!stop_ && IsWindow(prompt))
                          Sleep(10);
                  }
                  Sleep(20);
              }
          }) {}
    ~PlatformPrompt() {
        stop_ = true;
        thread_.join();
    }
    int Answered() const { return answered_; }

private:
    HWND OwnPrompt() const {
        for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", caption_));) {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == GetCurrentProcessId())
                return w;
        }
        return nullptr;
    }
    const char *caption_;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

} // namespace

TEST_F(InetPortal, TwoHundredAndThreeHundredTwoReadTheBody) {
    for (int status : {200, 302}) {
        PortalResponse answer;
        answer.status = status;
        answer.body = std::string(150000, 'x') + "\x00\xFF\r\n<end>";
        portal.Script(answer);
        const InetOutcome out = call.Run();
        EXPECT_EQ(out.result, 0) << status;
        EXPECT_EQ(out.status, std::to_string(status));
        EXPECT_EQ(out.body, answer.body);
        EXPECT_TRUE(out.lines.empty());
        // One tick when the window opens, one per chunk (at least three for
        // 150 kB in chunks of at most 64 kB), one when it closes.
        EXPECT_GE(out.ticks, 2 + 3);
    }
}

TEST_F(InetPortal, ErrorStatusesGiveTheirCodesAndLines) {
    const struct {
        int status;
        int32_t result;
        const char *line;
    } cases[] = {
        {401, errInetAccessDenied, "HTTP-Fehler 401: Zugriff verweigert."},
        {403, errInetAccessDenied, "HTTP-Fehler 403: Zugriff verweigert."},
        {404, errInetNotFound, "HTTP-Fehler 404: Die Seite wurde nicht gefunden."},
        {503, errInetServerBusy, "HTTP-Fehler 503: Der Server ist vor\xFC" "bergehend \xFC" "berlastet."},
        {500, errInetUrlAccess, "HTTP-Fehler: 500"},
        {204, errInetUrlAccess, "HTTP-Fehler: 204"},
    };
    for (const auto &c : cases) {
        PortalResponse answer;
        answer.status = c.status;
        answer.body = "<html>error page</html>";
        portal.Script(answer);
        const InetOutcome out = call.Run();
        EXPECT_EQ(out.result, c.result) << c.status;
        EXPECT_EQ(out.status, std::to_string(c.status));
        EXPECT_EQ(out.lines, std::vector<std::string>{c.line});
        EXPECT_EQ(out.body, "") << "an error page is not the answer";
        EXPECT_EQ(out.ticks, 0) << "no progress window for an error";
    }
    call.logToHost = false;
    EXPECT_TRUE(call.Run().lines.empty());
}

TEST_F(InetPortal, CompletenessAgainstTheAnnouncedLength) {
    const struct {
        const char *name, *length;
        std::string body;
        int32_t result;
        const char *count; // of the completeness line, if any; "*": any count
    } cases[] = {
        {"length matches", "10", "0123456789", 0, nullptr},
        {"short body", "10", "012345678", errInetIncomplete, "9"},
        {"no length, a body", "none", "012345678", 0, nullptr},
        {"no length, no body", "none", "", errInetIncomplete, "0"},
        {"empty body of length 0", "0", "", errInetIncomplete, "0"},
        {"length not a number", "zehn", "0123", 0, nullptr},
        {"length with a sign", "+10", "0123456789", 0, nullptr},
        // Wine reads "0x64" as no length at all and then, depending on timing,
        // hands over the body or nothing: either way the answer is incomplete.
        {"hexadecimal length, longer than the body", "0x64", "012345678901", errInetIncomplete, "*"},
        {"length with a sign, longer than the body", "+100", "012345678901", errInetIncomplete, "12"},
    };
    for (const auto &c : cases) {
        PortalResponse answer;
        answer.length = c.length;
        answer.body = c.body;
        portal.Script(answer);
        const InetOutcome out = call.Run();
        EXPECT_EQ(out.result, c.result) << c.name;
        if (c.count && std::string(c.count) == "*") {
            EXPECT_EQ(out.lines, std::vector<std::string>{kIncomplete + std::to_string(out.body.size()) +
                                                         " Bytes geladen)"})
                << c.name;
            continue;
        }
        EXPECT_EQ(out.body, c.body) << c.name;
        if (c.count)
            EXPECT_EQ(out.lines, std::vector<std::string>{kIncomplete + c.count + " Bytes geladen)"}) << c.name;
        else
            EXPECT_TRUE(out.lines.empty()) << c.name;
    }
}

// A body that breaks off is a failed download, whether or not its length was
// announced: a stall past the time-out or a reset in the middle. (Wine keeps
// the bytes of a read that fails, so the count in the line may be below what
// arrived.)
TEST_F(InetPortal, ABodyThatBreaksOffIsIncomplete) {
    call.timeoutSec = 3;
    for (const char *length : {"auto", "none"}) {
        PortalResponse stall;
        stall.length = length;
        stall.body = std::string(200000, 's');
        stall.stallAfter = 100000;
        PortalResponse reset = stall;
        reset.stallAfter.reset();
        reset.resetAfter = 100000;
        // The reset comes while the client waits for more: sent together with
        // the data, or while the data still waits unread (a slow or emulated
        // client), Wine would take it for the end of the body.
        reset.resetDelay = 1.5;
        for (const PortalResponse &answer : {stall, reset}) {
            const char *what = answer.stallAfter ? "stall" : "reset";
            portal.Script(answer);
            const DWORD start = GetTickCount();
            const InetOutcome out = call.Run();
            EXPECT_EQ(out.result, errInetIncomplete) << what << ", length " << length;
            EXPECT_LT(out.body.size(), 100001u);
            EXPECT_EQ(out.body, std::string(out.body.size(), 's'));
            ASSERT_EQ(out.lines.size(), 1u);
            EXPECT_EQ(out.lines[0], kIncomplete + std::to_string(out.body.size()) + " Bytes geladen)");
            EXPECT_LT(GetTickCount() - start, 10000u) << "the time-out ends the read";
        }
    }
}

TEST_F(InetPortal, TheRequestCarriesExactlyWhatWasGiven) {
    call.body = "vermittlernummer=4711&passwort=%E4%20x";
    call.headers = "X-Kunde: M\xFCller\r\nX-Zweiter: 2\r\n";
    call.acceptType = "application/xml";
    call.objectName = "/Webservice/vekt.aspx?a=1";
    portal.Script(PortalAnswer("ok"));
    ASSERT_EQ(call.Run().result, 0);
    const auto requests = portal.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const PortalRequest &q = requests[0];
    EXPECT_EQ(q.scheme, "http");
    EXPECT_EQ(q.method, "POST");
    EXPECT_EQ(q.path, "/Webservice/vekt.aspx?a=1");
    EXPECT_EQ(q.body, call.body);
    EXPECT_EQ(q.Header("Accept"), "application/xml");
    EXPECT_EQ(q.Header("User-Agent"), "VEKT-ImportApi");
    EXPECT_EQ(q.Header("X-Kunde"), "M\xFCller");
    EXPECT_EQ(q.Header("X-Zweiter"), "2");
    EXPECT_EQ(q.Header("Content-Type"), std::nullopt);
    EXPECT_EQ(q.Header("Content-Length"), std::to_string(call.body.size()));

    call.verb = "GET";
    call.body.clear();
    call.headers.clear();
    ASSERT_EQ(call.Run().result, 0);
    EXPECT_EQ(portal.Requests().at(1).method, "GET");
}

TEST_F(InetPortal, NoAnswerHeadWithinTheTimeOut) {
    call.timeoutSec = 1;
    PortalResponse late;
    late.headDelay = 5;
    late.body = "late";
    portal.Script(late);
    const InetOutcome out = call.Run();
    EXPECT_EQ(out.result, errInetRequest);
    EXPECT_EQ(out.status, "") << "no status before a successful send";
    ASSERT_EQ(out.lines.size(), 1u);
    EXPECT_EQ(out.lines[0].rfind("WinINet-Systemfehler: 120", 0), 0u) << out.lines[0];
    EXPECT_EQ(out.ticks, 0);
}

// A self-signed certificate that names the server: one problem, one prompt;
// declined, nothing is sent.
TEST_F(InetPortal, SelfSignedCertificateAnsweredInThePrompt) {
    const struct {
        int answer;
        int32_t result;
        const char *body;
        const char *refusal; // the line after the prompt's, when declined
    } cases[] = {{IDOK, 0, "secret", nullptr},
                 {IDCANCEL, errInetRequest, "", "Zertifikat-Fehler (Invalid CA): Abbruch durch Benutzer."}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer);
        PortalServer portal("own-name");
        call.server = portal.Address();
        call.secure = true;
        portal.Script(PortalAnswer("secret"));
        PlatformPrompt user(c.answer, "Security Warning");
        const InetOutcome out = call.Run();
        EXPECT_EQ(user.Answered(), 1);
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.body, c.body);
        ASSERT_EQ(out.lines.size(), c.refusal ? 2u : 1u);
        EXPECT_EQ(out.lines[0].rfind("InternetErrorDlg: Selection = ", 0), 0u);
        EXPECT_EQ(out.lines[0] == "InternetErrorDlg: Selection = 0", !c.refusal) << out.lines[0];
        const auto requests = portal.Requests();
        if (c.refusal) {
            EXPECT_EQ(out.lines[1], c.refusal);
            EXPECT_TRUE(requests.empty());
            continue;
        }
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().scheme, "https");
        EXPECT_EQ(requests.back().body, call.body);
    }
}

// The host dispatches window messages during its callback; the user clicks
// the cancel button of the progress window while the body trickles in.
namespace {
int g_ticks = 0;
void __stdcall ClickingHost(int32_t kind, int32_t number, const char *text) {
    ReportRecorder::Callback(kind, number, text);
    if (kind == ckProgress && ++g_ticks == 3)
        if (HWND button = ProgressCancelButton())
            PostClick(button);
    Pump(0);
}
} // namespace

// The click stops the body at the next piece that arrives: with big pieces
// after the next chunk, and on a slow link one byte later, not once 64 KiB
// have come.
TEST_F(InetPortal, CancelButtonStopsAtTheNextPiece) {
    const struct {
        std::size_t size, chunk;
        double delay;
    } links[] = {{1000 * 1000, 20000, 0.01}, {29, 1, 0.1}};
    for (const auto &link : links) {
        SCOPED_TRACE(link.chunk);
        PortalResponse trickle;
        trickle.body = std::string(link.size, 'c');
        trickle.chunk = link.chunk;
        trickle.delay = link.delay;
        portal.Script(trickle);
        g_ticks = 0;
        RegProgrCallback(&ClickingHost);
        const InetOutcome out = call.Run();
        EXPECT_EQ(out.result, errDownloadCancelled);
        EXPECT_EQ(out.lines, std::vector<std::string>{"Download durch Benutzer abgebrochen"});
        // Ticks: window opened, piece 1, piece 2 (the click lands while the
        // host dispatches; the request asks right after the tick), window closed.
        EXPECT_EQ(out.ticks, 4);
        EXPECT_GT(out.body.size(), 0u);
        EXPECT_LT(out.body.size(), trickle.body.size());
        EXPECT_EQ(out.body, std::string(out.body.size(), 'c'));
        EXPECT_EQ(ProgressCancelButton(), nullptr) << "the window is closed";
    }
}

TEST_F(InetPortal, WithoutProgressWindowTheCancelWishIsNotAsked) {
    // A window left open and cancelled by someone else must not stop a
    // request that shows none.
    ShowDownloadProgress(nullptr);
    HWND button = ProgressCancelButton();
    ASSERT_NE(button, nullptr);
    SendMessageA(button, BM_CLICK, 0, 0);
    ASSERT_TRUE(DownloadCancelled());

    PortalResponse trickle;
    trickle.body = std::string(300 * 1000, 't');
    trickle.chunk = 30000;
    trickle.delay = 0.01;
    portal.Script(trickle);
    call.showProgress = false;
    const InetOutcome out = call.Run();
    HideDownloadProgress();
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.body, trickle.body);
    EXPECT_GE(out.ticks, 300 / 65) << "a tick after every chunk";
}

// The platform follows redirects by itself. Over HTTPS an answer that comes
// over plain HTTP or from another server is refused, and nothing of it read;
// one from the same server over HTTPS is read as before.
TEST_F(InetPortal, RedirectsThatLeaveTheSecureServerAreRefused) {
    PortalServer secure("own-name"), elsewhere;
    elsewhere.Script(PortalAnswer("elsewhere"));
    call.server = secure.Address();
    call.secure = true;
    PlatformPrompt user(IDOK, "Security Warning");
    for (int status : {301, 302, 303, 307}) {
        PortalResponse away = PortalAnswer("", status);
        away.headers = {{"Location", "http://" + elsewhere.Address() + "/x"}};
        secure.Script(away);
        const InetOutcome out = call.Run();
        EXPECT_EQ(out.result, errInetUrlAccess) << status;
        EXPECT_EQ(out.body, "") << status;
        ASSERT_FALSE(out.lines.empty());
        EXPECT_EQ(out.lines.back(), "Weiterleitung abgelehnt (nicht HTTPS oder anderer Server): http://" +
                                        elsewhere.Address() + "/x")
            << status;
    }
    PortalResponse inside = PortalAnswer("", 302);
    inside.headers = {{"Location", "https://" + secure.Address() + "/other"}};
    secure.Script({inside, PortalAnswer("own")});
    secure.Requests(true);
    const InetOutcome out = call.Run();
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.body, "own");
    const auto requests = secure.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().path, "/other");
    EXPECT_EQ(requests.back().scheme, "https");
}

// A chain of redirects that leaves the configured server, over plain HTTP on
// the same host or through another server, and comes back: refused at the
// first hop that leaves, before anything (the headers, the body) is sent there.
TEST_F(InetPortal, RedirectChainsAreRefusedAtTheFirstHopThatLeaves) {
    PortalServer secure("own-name"), other;
    call.server = secure.Address();
    call.secure = true;
    call.headers = "X-Kunde: 4711\r\n";
    call.body = "passwort=geheim";
    PlatformPrompt user(IDOK, "Security Warning");
    const auto redirect = [](const std::string &Url) {
        PortalResponse r = PortalAnswer("", 302);
        r.headers = {{"Location", Url}};
        return r;
    };
    const std::string plain = "http://" + secure.Address() + "/plain", away = "https://" + other.Address() + "/away",
                      awayPlain = "http://" + other.Address() + "/away";
    const PortalResponse back = redirect("https://" + secure.Address() + "/back");
    const struct {
        std::string leaves;
        std::vector<PortalResponse> secure, other;
    } chains[] = {
        {plain, {redirect(plain), back, PortalAnswer("chosen by the plain hop")}, {}},
        {away, {redirect(away), PortalAnswer("chosen by the other server")}, {back}},
        {awayPlain, {redirect(awayPlain), PortalAnswer("chosen by the other server")}, {back}},
    };
    for (const auto &c : chains) {
        SCOPED_TRACE(c.leaves);
        secure.Script(c.secure);
        if (!c.other.empty())
            other.Script(c.other);
        secure.Requests(true);
        other.Requests(true);
        const InetOutcome out = call.Run();
        EXPECT_EQ(out.result, errInetUrlAccess);
        EXPECT_EQ(out.body, "");
        ASSERT_FALSE(out.lines.empty());
        EXPECT_EQ(out.lines.back(), "Weiterleitung abgelehnt (nicht HTTPS oder anderer Server): " + c.leaves);
        const auto requests = secure.Requests();
        ASSERT_EQ(requests.size(), 1u) << "nothing sent over plain HTTP, nothing fetched after the hop";
        EXPECT_EQ(requests[0].scheme, "https");
        EXPECT_TRUE(other.Requests().empty()) << "nothing sent to the other server";
    }
}
