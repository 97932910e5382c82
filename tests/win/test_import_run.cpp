// The import run as a host drives it: through LoadLibrary, against the
// loopback portal, with the real registry, override file and prompts.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <regex>

#include "ImportTestSupport.h"
#include "Portal.h"
#include "TestSupport.h"
#include "UiTestSupport.h"

namespace {

constexpr const char *GoodAnswer = "<?xml version=\"1.0\"?><depot/>";
constexpr const char *Marker = "<ActionType>ContinueImport</ActionType>";

std::string Continue(const std::string &tokenElement) {
    return std::string("<depot/><AfterImport>") + Marker + tokenElement + "</AfterImport>";
}

class ImportRun : public ImportTest {
protected:
    void SetUp() override { RecordReports(); }
    std::string Message(int32_t code) {
        char buffer[256] = "<none>";
        plugin.GetExportErrorMsg(code, buffer);
        return buffer;
    }
};

} // namespace

TEST_F(ImportRun, RefusalsBeforeTheRequestSendNothing) {
    double last = 0;
    EXPECT_EQ(plugin.ExportXML(tree.Target().c_str(), "4711", 0, &last, nullptr), errNoAccessData);
    EXPECT_EQ(Run(""), errNoUserLogin);
    EXPECT_EQ(Run("UserLogin =u\r\nPassword=p"), errNoUserLogin);
    EXPECT_EQ(Run(" UserLogin=u\r\nPassword=p"), errNoUserLogin);
    EXPECT_EQ(Run("UserLogin= \t \r\nPassword=p"), errNoUserLogin);
    EXPECT_EQ(Run("NoMessageBoxes= true \r\nUserLogin=u"), errPasswordCancelled);
    EXPECT_EQ(Run("nomessageboxes=TRUE\nUserLogin=u\nPassword=\x01\x02 "), errPasswordCancelled);
    {
        VariantSetting variant("LINTESSAR");
        EXPECT_EQ(Run(Login), errDepotNrCancelled);
    }
    EXPECT_TRUE(ReportRecorder::reports.empty());
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(ImportRun, TargetFolderThatCannotBeNamedIsRefused) {
    const std::string longDir = tree.Target() + "\\" + std::string(300 - tree.Target().size() - 1, 'd');
    double last = 1;
    EXPECT_EQ(plugin.ExportXML(longDir.c_str(), "4711", 0, &last, Login.c_str()), errAnswerFile);
    EXPECT_EQ(plugin.ExportXML(nullptr, "4711", 0, &last, Login.c_str()), errAnswerFile);
    EXPECT_EQ(Message(errAnswerFile), "Fehler beim Speichern der Importdatei tolva.xml.");
    EXPECT_TRUE(server.Requests().empty());
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_EQ(Lines()[0].rfind("Fehler beim Speichern der Importdatei " + longDir + "\\tolva.xml", 0), 0u);
}

TEST_F(ImportRun, RequestCarriesTheFieldsInOrder) {
    server.Script(PortalAnswer(GoodAnswer));
    ASSERT_EQ(Run("userlogin=user 1\r\nPassword=p&w=1%\xE4\r\nClient=Demo Host\r\nClientVersion=1.0 beta&x\r\n"
                  "Token=tok/1\r\nNoMessageBoxes=true\r\nPassword=second"),
              resOK);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const PortalRequest &r = requests[0];
    EXPECT_EQ(r.scheme, "http");
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/Webservice/vekt.aspx");
    EXPECT_EQ(r.Header("Accept").value_or(""), "text/plain");
    EXPECT_EQ(r.Header("User-Agent").value_or(""), "VEKT-ImportApi");
    EXPECT_EQ(r.body, "vermittlernummer=4711&benutzerkennung=user%201&passwort=p%26w%3D1%25%E4&depotnummer="
                      "&wiederaufsetzpunkt=tok%2F1&version=2.1.3,Demo%20Host,1.0 beta&x");
    EXPECT_EQ(tree.ReadAnswer(), GoodAnswer);
    EXPECT_EQ(tree.Listing(), "tolva.xml");
}

TEST_F(ImportRun, NullAdvisorNumberIsSentEmpty) {
    server.Script(PortalAnswer(GoodAnswer));
    double last = 1;
    ASSERT_EQ(plugin.ExportXML(tree.Target().c_str(), nullptr, 0, &last, Login.c_str()), resOK);
    EXPECT_EQ(Field(server.Requests().at(0), "vermittlernummer"), "");
}

TEST_F(ImportRun, ContinuationStateFollowsEveryOutcome) {
    const std::string params = Login + "Token=host";
    auto sentToken = [&] { return Field(server.Requests().back(), "wiederaufsetzpunkt"); };

    server.Script(PortalAnswer(Continue("<I_Token>T1</I_Token>")));
    ASSERT_EQ(Run(params, 0), resOK);
    EXPECT_EQ(sentToken(), ""); // initial import without a continuation
    server.Script(PortalAnswer("<error><number>1</number></error>"));
    ASSERT_EQ(Run(params), errPortalError);
    EXPECT_EQ(sentToken(), "T1");
    server.Script(PortalAnswer("", 500));
    ASSERT_EQ(Run(params, 0), errInetUrlAccess);
    EXPECT_EQ(sentToken(), "T1"); // even for an initial import
    server.Script(PortalAnswer(Continue("")));
    ASSERT_EQ(Run(params), resOK);
    EXPECT_EQ(sentToken(), "T1");
    server.Script(PortalAnswer(GoodAnswer));
    ASSERT_EQ(Run(params), resOK);
    EXPECT_EQ(sentToken(), ""); // the empty token of the last block
    server.Script(PortalAnswer("", 404));
    ASSERT_EQ(Run(params), errInetNotFound);
    EXPECT_EQ(sentToken(), "host");
    server.Script(PortalAnswer(std::string("<AfterImport><ActionType>Done</ActionType><I_Token>X</I_Token></AfterImport>")));
    ASSERT_EQ(Run(params), resOK);
    EXPECT_EQ(sentToken(), "host");
    server.Script(PortalAnswer(GoodAnswer));
    ASSERT_EQ(Run(params), resOK);
    EXPECT_EQ(sentToken(), "host");
}

// A host that imports for several advisors in turn: the stored token resumes
// only the export of the login and advisor that received it (compared byte
// for byte); anyone else sends their own token by the usual rules.
TEST_F(ImportRun, TheContinuationTokenBelongsToItsLoginAndAdvisor) {
    const struct {
        const char *advisor, *login, *answer;
        double last;
        const char *sent;
    } steps[] = {
        {"1", "a", "continue", 1, "own"},
        {"2", "a", "error", 1, "own"},    // another advisor
        {"1", "b", "error", 1, "own"},    // another login
        {"1", "A", "error", 0, ""},       // initial import of another login (case counts)
        {"1 ", "a", "error", 1, "own"},   // not the same advisor text
        {"1", "a", "error", 0, "T1"},     // the owner, also for an initial import
        {"2", "a", "good", 1, "own"},     // another's good answer ends the continuation...
        {"1", "a", "good", 1, "own"},     // ...for its owner too
    };
    for (const auto &step : steps) {
        const std::string params = "UserLogin=" + std::string(step.login) + "\r\n" + Login + "Token=own";
        const std::string answer = std::string(step.answer) == "continue" ? Continue("<I_Token>T1</I_Token>")
                                   : std::string(step.answer) == "good"   ? std::string(GoodAnswer)
                                                                           : "<error><number>1</number></error>";
        server.Script(PortalAnswer(answer));
        last_ = step.last;
        plugin.ExportXML(tree.Target().c_str(), step.advisor, 0, &last_, params.c_str());
        EXPECT_EQ(Field(server.Requests().back(), "wiederaufsetzpunkt"), step.sent)
            << "advisor '" << step.advisor << "', login " << step.login << ", last " << step.last;
    }
}

TEST_F(ImportRun, DepotNumberVariantAsksAndAnswers201) {
    VariantSetting variant("LINTESSAR");
    server.Script(PortalAnswer(Continue("<I_Token>T1</I_Token>")));
    auto typeAndConfirm = [](std::string text) {
        // The prompt found by the first step, shared by the script's steps only.
        auto form = std::make_shared<HWND>();
        return std::vector<ModalScript::Step>{
            [form] { return (*form = FindForm("Depotnummer-Abfrage")) && IsWindowVisible(*form); },
            Do([form, text] { PostChars(FindChild(*form, "Edit", nullptr), text); }),
            [form] { return IsWindowEnabled(FindChild(*form, "Button", "Ok")); },
            Do([form] { PostClick(FindChild(*form, "Button", "Ok")); })};
    };
    const std::string params = "UserLogin=u\r\nPassword=p\r\nToken=host";
    {
        ModalScript script(typeAndConfirm(" 12 34 "));
        EXPECT_EQ(Run(params, 0), resDepotNrImport);
    }
    EXPECT_TRUE(tree.AnswerExists());
    EXPECT_EQ(Field(server.Requests().back(), "depotnummer"), "12%2034");
    EXPECT_EQ(Field(server.Requests().back(), "wiederaufsetzpunkt"), "");
    for (const std::string &line : Lines())
        EXPECT_NE(line.rfind("Initial-Import", 0), 0u) << "LastImport is not read in this variant";
    {
        ModalScript script(typeAndConfirm("   "));
        EXPECT_EQ(Run(params), resOK);
    }
    EXPECT_EQ(Field(server.Requests().back(), "depotnummer"), "");
    EXPECT_EQ(Field(server.Requests().back(), "wiederaufsetzpunkt"), ""); // even with a continuation pending
    {
        HWND form = nullptr;
        ModalScript script({[&] { return (form = FindForm("Depotnummer-Abfrage")) && IsWindowVisible(form); },
                            Do([&] { PostClick(FindChild(form, "Button", "Abbrechen")); })});
        EXPECT_EQ(Run(params), errDepotNrCancelled);
    }
    EXPECT_EQ(server.Requests().size(), 2u);
}

// On 64-bit Windows a DLL reads HKLM\Software through the view of its own
// bitness: the 32-bit product finds what a 32-bit installer wrote (under
// WOW6432Node) and not what a 64-bit one wrote, and the other way round.
TEST_F(ImportRun, VariantIsReadFromTheRegistryViewOfTheDllsBitness) {
    const REGSAM own = sizeof(void *) == 4 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    const REGSAM other = own == KEY_WOW64_32KEY ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    // This test writes the machine's real views: never over a key it did not make.
    if (VariantKeyExists(own) || VariantKeyExists(other))
        GTEST_SKIP() << "the machine has a variant key of its own";
    server.Script(PortalAnswer(GoodAnswer));
    {
        VariantSetting variant("lintessar", own);
        if (own == KEY_WOW64_32KEY) {
            HKEY key;
            ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\WOW6432Node\\Korvane\\VEKT\\ImportAPI\\tolva", 0,
                                    KEY_READ | KEY_WOW64_64KEY, &key),
                      ERROR_SUCCESS);
            RegCloseKey(key);
        }
        // Without prompts the depot-number variant ends at its prompt.
        EXPECT_EQ(Run(Login), errDepotNrCancelled);
    }
    {
        VariantSetting variant("lintessar", other);
        EXPECT_EQ(Run(Login), resOK);
    }
}

TEST_F(ImportRun, OtherRegistryValuesMeanTheDefaultVariant) {
    server.Script(PortalAnswer(GoodAnswer));
    const DWORD number = 1;
    {
        VariantSetting setting(REG_DWORD, &number, sizeof number);
        EXPECT_EQ(Run(Login), resOK);
    }
    {
        VariantSetting setting("");
        EXPECT_EQ(Run(Login), resOK);
    }
    {
        VariantSetting setting("lintessar2");
        EXPECT_EQ(Run(Login), resOK);
    }
    {
        VariantSetting setting(REG_BINARY, "lintessar", 10);
        EXPECT_EQ(Run(Login), resOK);
    }
}

TEST_F(ImportRun, PasswordPromptSuppliesAMissingPassword) {
    server.Script(PortalAnswer(GoodAnswer));
    HWND form = nullptr;
    auto waitForPrompt = [&] { return (form = FindForm("tolva Zugangsberechtigung")) && IsWindowVisible(form); };
    {
        ModalScript script({waitForPrompt, Do([&] { PostChars(FindChild(form, "Edit", nullptr), " ge heim "); }),
                            [&] { return IsWindowEnabled(FindChild(form, "Button", "Ok")); },
                            Do([&] { PostClick(FindChild(form, "Button", "Ok")); })});
        EXPECT_EQ(Run("UserLogin=abc\r\nNoMessageBoxes=1"), resOK);
    }
    EXPECT_EQ(Field(server.Requests().back(), "passwort"), "%20ge%20heim%20");
    {
        ModalScript script({waitForPrompt, Do([&] {
                                EXPECT_TRUE(FindChild(form, "Label", "<abc> f\xFCr die tolva-Depotschnittstelle ein: "));
                                PostClick(FindChild(form, "Button", "Abbrechen"));
                            })});
        EXPECT_EQ(Run("UserLogin=abc"), errPasswordCancelled);
    }
    EXPECT_EQ(server.Requests().size(), 1u);
    for (const Report &r : ReportRecorder::reports)
        EXPECT_EQ(r.text.find("heim"), std::string::npos) << "the password reached the protocol";
}

TEST_F(ImportRun, ErrorAnswerIsCapturedAndShown) {
    tree.WriteAnswer("earlier");
    server.Script(PortalAnswer("<error><number>17</number><message>Kennung gesperrt</message></error>"));
    std::string boxText, boxCaption;
    {
        HWND box = nullptr;
        ModalScript script({[&] { return (box = FindMessageBox()) != nullptr; }, Do([&] {
                                boxText = MessageBoxText(box);
                                boxCaption = WindowText(box);
                                PostMessageA(box, WM_COMMAND, IDOK, 0);
                            })});
        EXPECT_EQ(Run("UserLogin=u\r\nPassword=p"), errPortalError);
    }
    EXPECT_EQ(boxCaption, "Fehler");
    EXPECT_EQ(boxText, "Fehlermeldung von tolva:\r\n\r\nKennung gesperrt");
    EXPECT_EQ(Lines().back(), "Fehlermeldung vom tolva-Server: Kennung gesperrt");
    EXPECT_EQ(Message(errPortalError),
              "Fehler bei Datenanforderung von tolva (tolva-Errorcode = 17):\r\n>> Kennung gesperrt");
    EXPECT_EQ(tree.ReadAnswer(), "earlier");

    // Without a message: no box, no line, but the number is kept.
    ReportRecorder::reports.clear();
    server.Script(PortalAnswer("<error><number>18</number><message>x</massage></error>"));
    EXPECT_EQ(Run("UserLogin=u\r\nPassword=p"), errPortalError);
    for (const std::string &line : Lines())
        EXPECT_EQ(line.find("Fehlermeldung"), std::string::npos);
    EXPECT_EQ(Message(errPortalError), "Fehler bei Datenanforderung von tolva (tolva-Errorcode = 18):\r\n>> ");

    // A later good answer leaves the text of the last error answer.
    for (const char *good : {" <error><number>19</number>", "<?xml version=\"1.0\"?><error>"}) {
        server.Script(PortalAnswer(good));
        EXPECT_EQ(Run(Login), resOK);
        EXPECT_EQ(tree.ReadAnswer(), good);
    }
    EXPECT_EQ(Message(errPortalError), "Fehler bei Datenanforderung von tolva (tolva-Errorcode = 18):\r\n>> ");
}

TEST_F(ImportRun, AnswerFileHoldsTheExactBytesAndSurvivesFailures) {
    const std::string bytes = std::string("<d>\0\xE4\xFF\r\n\x1A</d>", 11);
    server.Script(PortalAnswer(bytes));
    ASSERT_EQ(Run(Login), resOK);
    EXPECT_EQ(tree.ReadAnswer(), bytes);

    server.Script(PortalAnswer("", 503));
    EXPECT_EQ(Run(Login), errInetServerBusy);
    EXPECT_EQ(tree.ReadAnswer(), bytes);

    server.Script(PortalAnswer("<new/>"));
    ASSERT_EQ(Run(Login), resOK);
    EXPECT_EQ(tree.ReadAnswer(), "<new/>");

    // A file held open without sharing cannot be replaced: -20, old bytes kept.
    HANDLE lock = CreateFileA(tree.AnswerPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    server.Script(PortalAnswer(Continue("<I_Token>NEVER</I_Token>")));
    ReportRecorder::reports.clear();
    EXPECT_EQ(Run(Login), errAnswerFile);
    CloseHandle(lock);
    EXPECT_EQ(tree.ReadAnswer(), "<new/>");
    EXPECT_EQ(tree.Listing(), "tolva.xml");
    EXPECT_EQ(Lines().back().rfind("Fehler beim Speichern der Importdatei " + tree.AnswerPath() + ": ", 0), 0u);
    // ...and the continuation of that answer was not taken over.
    server.Script(PortalAnswer(GoodAnswer));
    ASSERT_EQ(Run(Login + "Token=own"), resOK);
    EXPECT_EQ(Field(server.Requests().back(), "wiederaufsetzpunkt"), "own");

    // A target folder that does not exist.
    double last = 1;
    const std::string missing = tree.Target() + "-missing"; // same override file
    EXPECT_EQ(plugin.ExportXML(missing.c_str(), "1", 0, &last, Login.c_str()), errAnswerFile);
}

TEST_F(ImportRun, ReportsComeInTheirOrder) {
    tree.PointAt(server.Address(), "Timeout=0x1E\r\n");
    server.Script(PortalAnswer(GoodAnswer));
    ASSERT_EQ(Run(Login, 0), resOK);
    std::vector<std::string> sequence;
    for (const Report &r : ReportRecorder::reports)
        if (r.kind != ckProgress)
            sequence.push_back(std::to_string(r.kind) + " " + r.text);
    const std::string ini = tree.Target() + "\\..\\tolva\\tolva.ini";
    ASSERT_EQ(sequence.size(), 5u);
    EXPECT_EQ(sequence[0], "3 Initial-Import gestartet (komplette Historie)\r\n");
    EXPECT_EQ(sequence[1], "3 Konfigurationsdatei aktiv: " + ini);
    EXPECT_TRUE(std::regex_match(sequence[2], std::regex("4 Download gestartet: [0-2][0-9].[0-5][0-9].[0-5][0-9]; Timeout = 30")))
        << sequence[2];
    EXPECT_TRUE(std::regex_match(sequence[3], std::regex("4 Download beendet: [0-2][0-9].[0-5][0-9].[0-5][0-9]; Result = 0")))
        << sequence[3];
    EXPECT_EQ(sequence[4], "3 XML-Daten empfangen");

    ReportRecorder::reports.clear();
    tree.PointAt(server.Address(), "Timeout=abc\r\n");
    server.Script(PortalAnswer("", 401));
    ASSERT_EQ(Run(Login), errInetAccessDenied);
    EXPECT_EQ(Lines(ckTiming).back().substr(Lines(ckTiming).back().find(';')), "; Result = -1004");
    EXPECT_NE(Lines(ckTiming).front().find("; Timeout = 180"), std::string::npos);
    EXPECT_EQ(Lines().back(), "Datenabruf fehlgeschlagen: \r\nStatus: 401");
}

TEST_F(ImportRun, OverrideFileKeys) {
    server.Script(PortalAnswer(GoodAnswer));
    tree.WriteOverride("[Global]\r\nHttps=0\r\nServer=" + server.Address() +
                       "\r\nService=/other/path\r\nAccept=application/xml\r\nHeaders=X-Extra: 1\r\n");
    ASSERT_EQ(Run(Login), resOK);
    const PortalRequest r = server.Requests().back();
    EXPECT_EQ(r.path, "/other/path");
    EXPECT_EQ(r.Header("Accept").value_or(""), "application/xml");
    EXPECT_EQ(r.Header("X-Extra").value_or(""), "1");

    // An empty Server replaces the default: the request cannot connect.
    tree.WriteOverride("[Global]\r\nHttps=0\r\nServer=\r\n");
    EXPECT_LT(Run(Login), -1000);
    EXPECT_EQ(server.Requests().size(), 1u);

    // "true" is no integer: HTTPS stays on, and the certificate problem shows it.
    tree.WriteOverride("[Global]\r\nHttps=true\r\nServer=" + server.Address() + "\r\n");
    ReportRecorder::reports.clear();
    EXPECT_EQ(Run(Login), errInetRequest);
    EXPECT_EQ(Lines().at(1), "InternetErrorDlg: unterdr\xFC" "ckt (NoMessageBoxes)");
}

TEST_F(ImportRun, WithoutOverrideFileNoTimingLines) {
    DeleteFileA((tree.Target() + "\\..\\tolva\\tolva.ini").c_str());
    const int32_t result = Run(Login + "Token=x");
    EXPECT_LT(result, -1000); // the default portal is not reachable from here
    EXPECT_TRUE(Lines(ckTiming).empty());
    EXPECT_EQ(Lines().back().rfind("Datenabruf fehlgeschlagen: \r\nStatus: ", 0), 0u);
}
