// Import runs against servers that misbehave: every run returns a code within
// its time-out, and the target folder never holds a partial answer or a
// temporary file (the earlier tolva.xml stays as it was).
#include <gtest/gtest.h>

#include <memory>

#include "ImportTestSupport.h"
#include "Portal.h"
#include "TestSupport.h"
#include "UiTestSupport.h"

namespace {

constexpr const char *Earlier = "<earlier/>";

struct Outcome {
    int32_t result;
    ULONGLONG ms;
};

class BrokenServer : public ImportTest {
protected:
    void SetUp() override {
        RecordReports();
        tree.WriteAnswer(Earlier);
        Point(false);
    }

    // A time-out of one second keeps the stalling cases short.
    void Point(bool https, int timeoutSec = 1) const {
        tree.WriteOverride("[Global]\r\nHttps=" + std::string(https ? "1" : "0") + "\r\nServer=" + server.Address() +
                           "\r\nTimeout=" + std::to_string(timeoutSec) + "\r\n");
    }
    Outcome Run() {
        const ULONGLONG start = GetTickCount64();
        const int32_t result = ImportTest::Run(Login);
        return {result, GetTickCount64() - start};
    }
    // The run failed and left the folder as it was.
    void ExpectFailedCleanly(const Outcome &out, int32_t expected, const std::string &what) {
        EXPECT_EQ(out.result, expected) << what;
        EXPECT_EQ(tree.Listing(), "tolva.xml") << what;
        EXPECT_EQ(tree.ReadAnswer(), Earlier) << what;
    }
};

PortalResponse Body(std::size_t size) { return PortalAnswer(std::string(size, 'b')); }

} // namespace

// A reset right after the head or at any point of the body, sent with the
// data or a little later: the answer announced its length, so the short body
// is a failed download (or a failed send, when the reset overtakes the head).
TEST_F(BrokenServer, ResetAfterTheHeadOrInsideTheBody) {
    for (std::size_t offset : {0u, 1u, 65535u, 65536u, 131072u, 199999u})
        for (double delay : {0.0, 0.2}) {
            PortalResponse answer = Body(200000);
            answer.resetAfter = offset;
            answer.resetDelay = delay;
            server.Script(answer);
            const Outcome out = Run();
            const std::string what = "reset after " + std::to_string(offset) + ", delay " + std::to_string(delay);
            ExpectFailedCleanly(out, out.result == errInetRequest ? errInetRequest : errInetIncomplete, what);
            if (delay > 0) {
                EXPECT_EQ(out.result, errInetIncomplete) << what;
            }
        }
    // Without a length a reset is the only sign; it must not pass for the end.
    // It comes once the client has had time to read what was sent: a reset
    // that finds data unread looks like the end to the platform.
    Point(false, 3);
    PortalResponse answer = Body(200000);
    answer.length = "none";
    answer.resetAfter = 100000;
    answer.resetDelay = 1.5;
    server.Script(answer);
    ExpectFailedCleanly(Run(), errInetIncomplete, "reset without length");
}

TEST_F(BrokenServer, AcceptsAndNeverAnswers) {
    PortalResponse silent = PortalAnswer("<late/>");
    silent.headDelay = 30;
    server.Script(silent);
    Outcome out = Run();
    ExpectFailedCleanly(out, errInetRequest, "no head");
    EXPECT_LT(out.ms, 5000u);

    // Stops right after the head (time-out 2 s) or in the middle of the body
    // (1 s), with and without a length: the time-out ends the wait for more.
    for (std::size_t after : {0u, 70000u})
        for (const char *length : {"auto", "none"}) {
            const std::string what = "stall after " + std::to_string(after) + ", length " + length;
            Point(false, after == 0 ? 2 : 1);
            PortalResponse stall = Body(100000);
            stall.length = length;
            stall.stallAfter = after;
            server.Script(stall);
            out = Run();
            ExpectFailedCleanly(out, errInetIncomplete, what);
            EXPECT_LT(out.ms, after == 0 ? 6000u : 5000u) << what;
            EXPECT_EQ(FindForm("Info"), nullptr) << what << ": the progress window is closed";
        }
}

// 100 MiB of error answer: read, recognised, its number and message kept,
// nothing written.
TEST_F(BrokenServer, HugeErrorAnswer) {
    std::string unit = "<error><number>413</number><message>Antwort zu gro\xDF</message>";
    unit.resize(1024, ' ');
    PortalResponse huge = PortalAnswer(unit);
    huge.bodyRepeat = 100 * 1024;
    server.Script(huge);
    Point(false, 30);
    const Outcome out = Run();
    ExpectFailedCleanly(out, errPortalError, "100 MiB error answer");
    char buffer[256];
    ASSERT_EQ(plugin.GetExportErrorMsg(errPortalError, buffer), 0);
    EXPECT_STREQ(buffer, "Fehler bei Datenanforderung von tolva (tolva-Errorcode = 413):\r\n>> Antwort zu gro\xDF");
    std::printf("100 MiB error answer: %llu ms\n", out.ms);
}

// A 32-bit host has 2 GiB of address space, shared with all it holds, and the
// answer is held whole before it is written: an answer of 4 GiB (2.5 GiB of it
// sent), announced or not, ends the run with a code, leaves tolva.xml as it was, gives the memory
// back, and the next import works.
TEST_F(BrokenServer, AnswerLargerThanTheAddressSpace) {
    if (sizeof(void *) != 4)
        GTEST_SKIP() << "only a 32-bit process runs out of address space here";
    Point(false, 10);
    for (const char *length : {"none", "auto"}) {
        PortalResponse huge = PortalAnswer(std::string(1 << 16, 'x'));
        huge.bodyRepeat = 1 << 16;
        huge.length = length;
        // More than a 32-bit process can hold; the reset spares the time that
        // Wine's WinINet spends reading an announced rest before it closes.
        huge.resetAfter = std::size_t(5) << 29;
        server.Script({huge, PortalAnswer("<depot/>")});
        const SIZE_T before = CommittedPrivateBytes();
        const Outcome out = Run();
        const SIZE_T after = CommittedPrivateBytes();
        EXPECT_TRUE(out.result == errInternal || (out.result <= errInetUnspecified && out.result >= errDownloadCancelled))
            << "length " << length << ": " << out.result;
        EXPECT_EQ(tree.Listing(), "tolva.xml") << "length " << length;
        EXPECT_EQ(tree.ReadAnswer(), Earlier) << "length " << length;
        EXPECT_LT(after, before + (32u << 20)) << "length " << length << ": memory not given back";
        EXPECT_EQ(Run().result, resOK) << "length " << length << ": the next import";
        EXPECT_EQ(tree.ReadAnswer(), "<depot/>");
        tree.WriteAnswer(Earlier);
        std::printf("answer beyond the address space, length %s: result %d after %llu ms, committed private memory %lu KiB before, "
                    "%lu KiB after\n", length, out.result, out.ms, static_cast<unsigned long>(before >> 10),
                    static_cast<unsigned long>(after >> 10));
    }
}

// An announced length far beyond the body, also beyond 32 bits: the body that
// arrived is short, however the number is written.
TEST_F(BrokenServer, LengthFarLargerThanTheBody) {
    for (const char *length : {"1000000", "2147483647", "4294967306", "5000000000", "99999999999999999999999"}) {
        PortalResponse liar = PortalAnswer("<depot/>12"); // 10 bytes: 4294967306 is 2^32 + 10
        liar.length = length;
        server.Script(liar);
        const Outcome out = Run();
        ExpectFailedCleanly(out, errInetIncomplete, std::string("length ") + length);
        EXPECT_LT(out.ms, 5000u) << length;
    }
}

// Status lines that are no status lines. A line that begins like one but
// carries no valid code fails with -1006; anything else WinINet reads as an
// answer without head (HTTP/0.9): what follows the line is the body, stored
// complete. Either way nothing partial and no temporary file remains.
TEST_F(BrokenServer, GarbageInTheStatusLine) {
    const std::string rest = "Content-Length: 8\r\nConnection: close\r\n\r\n<depot/>";
    const struct {
        const char *line;
        int32_t result;
        const char *status;
    } cases[] = {
        {"HTTP/1.1 2OO OK", errInetUrlAccess, "2"},
        {"HTTP/1.1", errInetUrlAccess, "0"},
        {"HTTP/1.1 -200 OK", errInetUrlAccess, "4294967096"},
        {"HTTP/9.9 999999999999 X", errInetUrlAccess, "2147483647"},
        {"GARBAGE", resOK, nullptr},
        {"", resOK, nullptr},
        {"\x01\x02\x03\xFF", resOK, nullptr},
    };
    for (const auto &c : cases) {
        ReportRecorder::reports.clear();
        tree.WriteAnswer(Earlier);
        PortalResponse answer = PortalAnswer("<depot/>");
        answer.statusLine = c.line;
        server.Script(answer);
        const Outcome out = Run();
        EXPECT_EQ(out.result, c.result) << c.line;
        EXPECT_EQ(tree.Listing(), "tolva.xml") << c.line;
        EXPECT_EQ(tree.ReadAnswer(), c.result == resOK ? rest : Earlier) << c.line;
        if (c.status) {
            EXPECT_EQ(Lines().back(), std::string("Datenabruf fehlgeschlagen: \r\nStatus: ") + c.status) << c.line;
        }
        EXPECT_LT(out.ms, 5000u) << c.line;
    }
    // A reason phrase of 100 kB is still a status line.
    PortalResponse longLine = PortalAnswer("<depot/>");
    longLine.statusLine = "HTTP/1.1 200 " + std::string(100000, 'K');
    server.Script(longLine);
    EXPECT_EQ(Run().result, resOK);
    EXPECT_EQ(tree.ReadAnswer(), "<depot/>");
    EXPECT_EQ(tree.Listing(), "tolva.xml");
}

namespace {
// The user at the platform's certificate prompt: answers each new prompt with
// the next button; the script fails when more or fewer prompts come.
ModalScript CertificateUser(const std::vector<int> &Buttons) {
    // The prompt answered last, shared by this script's steps only.
    auto last = std::make_shared<HWND>();
    std::vector<ModalScript::Step> steps;
    for (int button : Buttons)
        steps.push_back([button, last] {
            HWND prompt = FindWindowA("#32770", "Security Warning");
            if (!prompt || prompt == *last || !IsWindowVisible(prompt))
                return false;
            *last = prompt;
            PostMessageA(prompt, WM_COMMAND, button, 0);
            return true;
        });
    return ModalScript(std::move(steps));
}
} // namespace

// Every certificate problem reaches the prompt: nothing is ignored silently.
// Each server's certificate is self-signed (an unknown issuer); it names the
// server or another host, and is valid or expired. Under Wine each problem is
// one prompt after the acceptance of the one before; every prompt declined
// ends the run with -1014. With NoMessageBoxes the first problem is declined
// without a prompt.
TEST_F(BrokenServer, EachCertificateProblemIsPromptedAcceptedOrDeclined) {
    const struct {
        const char *certificate;
        std::vector<int> buttons; // one prompt each
        int32_t result;
    } cases[] = {
        {"own-name", {IDOK}, resOK},
        {"own-name", {IDCANCEL}, errInetRequest},
        {"self-signed", {IDOK, IDOK}, resOK},
        {"self-signed", {IDOK, IDCANCEL}, errInetRequest},
        {"own-name-expired", {IDOK, IDOK}, resOK},
        {"own-name-expired", {IDOK, IDCANCEL}, errInetRequest},
        {"expired", {IDOK, IDOK, IDOK}, resOK},
        {"expired", {IDOK, IDOK, IDCANCEL}, errInetRequest},
    };
    for (const auto &c : cases) {
        // One server per case: Wine remembers an accepted certificate per server.
        PortalServer s(c.certificate);
        const std::string what = std::string(c.certificate) + ", " + std::to_string(c.buttons.size()) + " prompts";
        s.Script(PortalAnswer("<depot/>"));
        tree.WriteOverride("[Global]\r\nServer=" + s.Address() + "\r\nTimeout=5\r\n");
        ReportRecorder::reports.clear();
        Outcome out;
        {
            ModalScript user = CertificateUser(c.buttons);
            out.result = ImportTest::Run("UserLogin=u\r\nPassword=p");
        }
        std::vector<std::string> expected;
        for (std::size_t i = 0; i + 1 < c.buttons.size(); ++i)
            expected.push_back("InternetErrorDlg: Selection = 0");
        if (c.result == resOK) {
            expected.insert(expected.end(), {"InternetErrorDlg: Selection = 0", "XML-Daten empfangen"});
            EXPECT_EQ(tree.ReadAnswer(), "<depot/>") << what;
            ASSERT_FALSE(s.Requests().empty()) << what;
            EXPECT_EQ(s.Requests().back().scheme, "https") << what;
            tree.WriteAnswer(Earlier);
        } else {
            expected.insert(expected.end(), {"InternetErrorDlg: Selection = 1223",
                                             "Zertifikat-Fehler (Invalid CA): Abbruch durch Benutzer.",
                                             "Datenabruf fehlgeschlagen: \r\nStatus: "});
            ExpectFailedCleanly(out, c.result, what);
            EXPECT_TRUE(s.Requests().empty()) << what << ": the password never left";
        }
        EXPECT_EQ(out.result, c.result) << what;
        std::vector<std::string> lines = Lines();
        ASSERT_FALSE(lines.empty());
        lines.erase(lines.begin()); // the override file's line
        EXPECT_EQ(lines, expected) << what;
        EXPECT_EQ(tree.Listing(), "tolva.xml") << what;
    }
    for (const char *certificate : {"own-name", "self-signed", "own-name-expired", "expired"}) {
        PortalServer s(certificate);
        s.Script(PortalAnswer("<depot/>"));
        tree.WriteOverride("[Global]\r\nServer=" + s.Address() + "\r\nTimeout=5\r\n");
        ReportRecorder::reports.clear();
        ExpectFailedCleanly(Run(), errInetRequest, certificate);
        std::vector<std::string> lines = Lines();
        ASSERT_FALSE(lines.empty());
        lines.erase(lines.begin());
        EXPECT_EQ(lines, (std::vector<std::string>{"InternetErrorDlg: unterdr\xFC" "ckt (NoMessageBoxes)",
                                                   "Zertifikat-Fehler (Invalid CA): Abbruch durch Benutzer.",
                                                   "Datenabruf fehlgeschlagen: \r\nStatus: "}))
            << certificate;
        EXPECT_TRUE(s.Requests().empty()) << certificate;
        EXPECT_EQ(FindWindowA("#32770", "Security Warning"), nullptr);
    }
}

TEST_F(BrokenServer, ClosesOrStallsDuringTheHandshake) {
    Point(true);
    PortalResponse close;
    close.handshake = "close";
    server.Script(close);
    Outcome out = Run();
    ExpectFailedCleanly(out, errInetRequest, "close during the handshake");
    EXPECT_LT(out.ms, 5000u);

    // Wine sets the time-outs on a connection only after its handshake: a
    // server that holds the handshake holds the run (on Windows the receive
    // time-out applies). Here the server gives up after three seconds.
    PortalResponse stall;
    stall.handshake = "stall";
    stall.stall = 3;
    server.Script(stall);
    out = Run();
    ExpectFailedCleanly(out, errInetRequest, "stall during the handshake");
    EXPECT_LT(out.ms, 8000u);
    std::printf("handshake stall of 3 s: %llu ms, %s\n", out.ms, Lines().back().c_str());
    EXPECT_TRUE(server.Requests().empty());
}

// A message of 1 MiB: the message box opens and closes as for any other;
// it and the protocol line carry the message's start.
TEST_F(BrokenServer, ErrorAnswerWithAHugeMessage) {
    const std::string message(1u << 20, 'm');
    server.Script(PortalAnswer("<error><number>1</number><message>" + message + "</message></error>"));
    std::size_t shown = 0;
    Outcome out;
    {
        HWND box = nullptr;
        ModalScript script({[&] { return (box = FindMessageBox()) != nullptr; }, Do([&] {
                                shown = GetWindowTextLengthA(GetDlgItem(box, 0xFFFF));
                                PostMessageA(box, WM_COMMAND, IDOK, 0);
                            })});
        const ULONGLONG start = GetTickCount64();
        out.result = ImportTest::Run("UserLogin=u\r\nPassword=p");
        out.ms = GetTickCount64() - start;
    }
    ExpectFailedCleanly(out, errPortalError, "huge message");
    // The box and the line show the message's first 1024 characters.
    EXPECT_EQ(shown, std::string("Fehlermeldung von tolva:\r\n\r\n").size() + 1024) << "the message box";
    EXPECT_LT(out.ms, 5000u);
    EXPECT_EQ(Lines().back(), "Fehlermeldung vom tolva-Server: " + message.substr(0, 1024));
}

// Unattended: a demand for proxy credentials ends the run without the prompt.
TEST_F(BrokenServer, ProxyDemandUnattendedEndsWithoutThePrompt) {
    PortalResponse demand = PortalAnswer("", 407);
    demand.headers = {{"Proxy-Authenticate", "Basic realm=\"proxy\""}};
    server.Script(demand);
    ExpectFailedCleanly(Run(), errProxyAuth, "407");
    std::vector<std::string> lines = Lines();
    ASSERT_FALSE(lines.empty());
    lines.erase(lines.begin());
    EXPECT_EQ(lines, (std::vector<std::string>{"HTTP-Fehler 407: Authentifizierung erforderlich.",
                                               "Datenabruf fehlgeschlagen: \r\nStatus: 407"}));
}
