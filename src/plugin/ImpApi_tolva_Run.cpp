// VariantExportXML: one import run, from the host's parameters to the result
// code. Part of the unit ImpApi_tolva_Main.
#include <windows.h>

#include <string>

#include <ImpApi_tolva.h>
#include "base/HostBarrier.h"
#include "dialogs/ImpApi_tolva_DpNr_Dlg.h"
#include "base/Locale.h"
#include "core/Texts.h"
#include "framework/Framework.h"
#include "dialogs/ImpApi_tolva_PwDlg.h"
#include "core/AnswerScan.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImpApi_tolva_AnswerFile.h"
#include "plugin/ImpApi_tolva_Main.h"
#include "plugin/ImpApi_tolva_Settings.h"
#include "plugin/ImportObserver.h"
#include "core/ParamText.h"
#include "core/RequestBody.h"
#include "transport/ImpApiINet.h"

namespace ImpApi_tolva_Main {
namespace {

using ImpApiMain::ReportLog;
using ImpApi_tolva_Settings::Settings;

constexpr const char *PortalName = "tolva";
constexpr std::size_t MaxTargetDirChars = ShortTextMax;

// Time of day as hh:nn:ss with the user's time separator.
std::string TimeOfDay() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char separator[8] = ":";
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, sizeof separator) == 0)
        lstrcpyA(separator, ":");
    char text[64];
    wsprintfA(text, "%02u%s%02u%s%02u", now.wHour, separator, now.wMinute, separator, now.wSecond);
    return text;
}

// The host's parameters, read once, and what the prompts add to them.
struct RunInput {
    RunInput(const char *AdvisorNo, const double *LastImport, std::string_view params, const VariantState &state)
        : advisorNo(AdvisorNo ? AdvisorNo : ""), lastImport(LastImport),
          // The one copy of the password: the lookup reads the host's text in place.
          password(TrimControls(ParamValue(params, "Password", EqualsInLocale))) {
        auto param = [&](std::string_view name) {
            return std::string(TrimControls(ParamValue(params, name, EqualsInLocale)));
        };
        noMessageBoxes = IsTrueSwitch(param("NoMessageBoxes"));
        client = param("Client");
        clientVersion = param("ClientVersion");
        userLogin = param("UserLogin");
        // The stored token resumes the export of the login and advisor that
        // received it; for anyone else it would mix or lose their records.
        continuing = state.ContinueFlag && state.ContinueLogin == userLogin && state.ContinueAdvisor == advisorNo;
        token = continuing ? state.ContinueToken : param("Token");
    }

    std::string advisorNo;
    const double *lastImport;
    SecretText password;
    bool noMessageBoxes = false;
    bool continuing = false;
    std::string client, clientVersion, userLogin, token;
    std::string targetDir, depotNumber;
};

// A folder we cannot name exactly is refused before anything is asked or
// sent; an empty name would mean the root of the current drive.
bool AcceptTargetDir(RunInput &in, const char *TargetDir) {
    in.targetDir = TargetDir ? TargetDir : "";
    if (!in.targetDir.empty() && in.targetDir.size() <= MaxTargetDirChars)
        return true;
    ReportLog("Fehler beim Speichern der Importdatei " + in.targetDir + "\\tolva.xml: " +
              (in.targetDir.empty() ? "kein Zielordner angegeben" : "Zielordner länger als 255 Zeichen"));
    return false;
}

// Asks for what the parameters leave out: the password, and for the depot
// variant the depot number. resOK when the run may go on.
int32_t AskForMissing(RunInput &in, bool depotVariant) {
    if (in.password->empty()) {
        if (in.noMessageBoxes)
            return errPasswordCancelled;
        TImpApiPwDlg dialog;
        dialog.PortalName = PortalName;
        dialog.UserLogin = in.userLogin;
        if (!dialog.Execute())
            return errPasswordCancelled;
        in.password = std::move(dialog.Password);
    }
    if (depotVariant) {
        if (in.noMessageBoxes)
            return errDepotNrCancelled;
        in.token.clear();
        TImpApi_DepotNr_Dlg dialog;
        dialog.DepotNumber = "";
        if (!dialog.Execute())
            return errDepotNrCancelled;
        in.depotNumber = dialog.DepotNumber;
    } else if (!in.lastImport || *in.lastImport == 0) {
        ReportLog("Initial-Import gestartet (komplette Historie)\r\n");
        if (!in.continuing)
            in.token.clear();
    }
    return resOK;
}

// The request, timed in the log while the override file is in force.
int32_t Download(const Settings &settings, bool timed, std::string_view body, bool prompts, TResponseSink &answer) {
    std::string status;
    if (timed)
        ImpApiMain::ReportTiming("Download gestartet: " + TimeOfDay() +
                                 "; Timeout = " + std::to_string(settings.TimeoutSec));
    TImportObserver observer(true, true);
    const int32_t result =
        HttpsRequest({.Server = settings.Server, .ObjectName = settings.Service, .Secure = settings.Secure,
                      .AcceptType = settings.Accept, .Headers = settings.Headers, .Body = body,
                      .TimeoutSec = settings.TimeoutSec, .Prompts = prompts},
                     answer, status, observer);
    // The host may have raised in the closing tick, which cannot throw.
    HostBarrier::EndIfRaised();
    if (timed)
        ImpApiMain::ReportTiming("Download beendet: " + TimeOfDay() + "; Result = " + std::to_string(result));
    if (result != 0)
        ReportLog("Datenabruf fehlgeschlagen: \r\nStatus: " + status);
    return result;
}

// The portal's own error: published to the host, shown and logged.
void ReportPortalError(const TResponseSink &answer, bool noMessageBoxes) {
    // Only the start of a huge message is kept (PortalTextLimit).
    const PortalError error = ReadPortalError(answer);
    PublishPortalError(error.Number, error.Message);
    if (error.Message.empty())
        return;
    // The box's loop serves the host's messages: what the host raises there
    // ends the run.
    if (!noMessageBoxes) {
        Framework::ShowMessageBox("Fehlermeldung von tolva:\r\n\r\n" + error.Message, "Fehler",
                                  MB_OK | MB_ICONERROR | MB_TASKMODAL);
        HostBarrier::EndIfRaised();
    }
    ReportLog("Fehlermeldung vom tolva-Server: " + error.Message);
}

// What the next run resumes from, kept only for this login and advisor.
void StoreContinuation(VariantState &state, const TResponseSink &answer, const RunInput &in) {
    state.ContinueFlag = false;
    try {
        Continuation next = ReadContinuation(answer);
        if (next.Requested) {
            std::string login = in.userLogin, advisor = in.advisorNo;
            state.ContinueToken = std::move(next.Token);
            state.ContinueLogin = std::move(login);
            state.ContinueAdvisor = std::move(advisor);
            state.ContinueFlag = true;
        }
    } catch (...) {
        // A continuation block that cannot be read counts as none.
    }
}

int32_t Run(const char *TargetDir, const char *AdvisorNo, const double *LastImport, const char *Params) {
    const bool depotVariant = ImpApi_tolva_Settings::DepotNumberVariant();
    if (!Params)
        return errNoAccessData;
    VariantState &state = State();
    RunInput in(AdvisorNo, LastImport, Params, state);
    if (in.userLogin.empty())
        return errNoUserLogin;
    if (!AcceptTargetDir(in, TargetDir))
        return errAnswerFile;
    if (const int32_t refused = AskForMissing(in, depotVariant); refused != resOK)
        return refused;

    Settings settings;
    const bool overrideActive = ImpApi_tolva_Settings::ApplyOverrideFile(in.targetDir, settings);
    // Longer than a string object holds inside: every buffer it had is the
    // wiping allocator's.
    const WipingString body = ComposeRequestBody({.AdvisorNo = in.advisorNo, .UserLogin = in.userLogin,
                                                  .Password = *in.password, .DepotNumber = in.depotNumber,
                                                  .Token = in.token, .InterfaceVersion = InterfaceVersion,
                                                  .Client = in.client, .ClientVersion = in.clientVersion});
    TResponseSink answer;
    if (const int32_t failed = Download(settings, overrideActive, body, !in.noMessageBoxes, answer); failed != 0)
        return failed;
    if (IsErrorAnswer(answer)) {
        ReportPortalError(answer, in.noMessageBoxes);
        return errPortalError;
    }

    ReportLog("XML-Daten empfangen");
    if (!ImpApi_tolva_AnswerFile::WriteAnswerFile(in.targetDir, answer))
        return errAnswerFile;
    StoreContinuation(state, answer, in);
    return in.depotNumber.empty() ? resOK : resDepotNrImport;
}

} // namespace

int32_t VariantExportXML(const char *TargetDir, const char *AdvisorNo, int32_t /*Reserved*/,
                         const double *LastImport, const char *Params) {
    try {
        return Run(TargetDir, AdvisorNo, LastImport, Params);
    } catch (...) {
        // Exhausted memory or any other surprise: the state is as it was.
        return errInternal;
    }
}

} // namespace ImpApi_tolva_Main
