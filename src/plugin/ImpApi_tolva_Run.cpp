// VariantExportXML: one import run, from the host's parameters to the result
// code. Part of the unit ImpApi_tolva_Main.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include <ImpApi_tolva.h>
#include "dialogs/ImpApi_tolva_DpNr_Dlg.h"
#include "base/Locale.h"
#include "core/Texts.h"
#include "base/Handles.h"
#include "framework/Framework.h"
#include "dialogs/ImpApi_tolva_PwDlg.h"
#include "core/AnswerScan.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImpApi_tolva_Main.h"
#include "plugin/ImportObserver.h"
#include "core/IntegerText.h"
#include "core/ParamText.h"
#include "transport/ImpApiINet.h"

namespace ImpApi_tolva_Main {
namespace {

using ImpApiMain::ReportLog;

constexpr const char *PortalName = "tolva";
constexpr std::size_t MaxTargetDirChars = ShortTextMax;

// Connection settings of one run; the override file may change each.
struct Settings {
    bool Secure = true;
    std::string Server = DefaultServer;
    std::string Service = "/Webservice/vekt.aspx";
    std::string Accept = "text/plain";
    std::string Headers;
    int32_t TimeoutSec = 180;
};

bool LocaleEquals(std::string_view a, std::string_view b) { return CompareTextInLocale(a, b) == 0; }

// The registry names the variant; anything but a readable text means "tolva".
std::string ReadVariantName() {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Korvane\\VEKT\\ImportAPI\\tolva", 0, KEY_READ, &raw) !=
        ERROR_SUCCESS)
        return PortalName;
    UniqueRegKey key(raw);
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(raw, "API_Variante", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return PortalName;
    std::string value(size, '\0');
    if (size > 0 && RegQueryValueExA(raw, "API_Variante", nullptr, &type, reinterpret_cast<BYTE *>(value.data()),
                                     &size) != ERROR_SUCCESS)
        return PortalName;
    value.resize(strnlen(value.data(), std::min<std::size_t>(size, value.size())));
    return value;
}

std::string ReadIniText(const std::string &path, const char *key, const std::string &current) {
    char buffer[2048];
    GetPrivateProfileStringA("Global", key, current.c_str(), buffer, sizeof buffer, path.c_str());
    return buffer;
}

int32_t ReadIniInteger(const std::string &path, const char *key, int32_t current) {
    return ParseIniInteger(ReadIniText(path, key, "")).value_or(current);
}

// The optional override file beside the target folder. Every failure here is
// ignored; what was read before it stays in force.
bool ApplyOverrideFile(const std::string &targetDir, Settings &settings) {
    bool active = false;
    try {
        const std::string path = targetDir + "\\..\\tolva\\tolva.ini";
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return false;
        active = true;
        ReportLog("Konfigurationsdatei aktiv: " + path);
        // The profile functions look for relative names in the Windows folder:
        // read the very file that was found.
        char full[MAX_PATH];
        const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
        const std::string file = n > 0 && n < MAX_PATH ? std::string(full, n) : path;
        settings.Secure = ReadIniInteger(file, "Https", settings.Secure ? 1 : 0) != 0;
        settings.Server = ReadIniText(file, "Server", settings.Server);
        settings.Service = ReadIniText(file, "Service", settings.Service);
        settings.Accept = ReadIniText(file, "Accept", settings.Accept);
        settings.Headers = ReadIniText(file, "Headers", settings.Headers);
        settings.TimeoutSec = ReadIniInteger(file, "Timeout", settings.TimeoutSec);
    } catch (const ImpApiMain::THostRaised &) {
        // The host's exception is no failure of the file: it ends the run.
        throw;
    } catch (...) {
        // What was read before the failure stays in force.
    }
    return active;
}

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

// A temporary file of this run alone, "tlvXXXX.tmp" in the target folder (so
// that the move stays on one volume). The system makes the name unique by
// creating the file, never taking a name that exists: another run's file or a
// host's file is never touched. Name stays empty when nothing was created.
UniqueFile CreateRunFile(const std::string &targetDir, std::string &name) {
    char path[MAX_PATH];
    if (GetTempFileNameA(targetDir.c_str(), "tlv", 0, path) == 0)
        return UniqueFile(INVALID_HANDLE_VALUE);
    name = path;
    // DELETE: the file is marked for deletion and renamed through this handle.
    // Readers are let in: once renamed it is tolva.xml, whole and flushed, and
    // another host may read it before this handle closes.
    return UniqueFile(CreateFileA(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// While the mark is set the file goes when its last handle closes, also when
// the process dies: customer data never stays behind in a temporary file.
bool MarkForDeletion(HANDLE file, bool Delete) {
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = Delete;
    return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info);
}

// Moves the open file over Path (a full path), replacing what is there.
bool RenameThroughHandle(HANDLE file, const std::string &path) {
    const int chars = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (chars <= 1)
        return false;
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + std::size_t(chars) * sizeof(WCHAR));
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(chars - 1) * sizeof(WCHAR);
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, info->FileName, chars);
    return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
}

// Writes the whole answer; Error gets what stopped it.
bool WriteAnswer(HANDLE file, const TResponseSink &answer, DWORD &error) {
    return answer.WriteTo([&](const char *data, std::size_t size) {
        while (size > 0) {
            // 64 KiB: under Wine as fast as larger pieces (16 KiB and 4 MiB
            // are slower), and on Windows where cached writes reach full speed.
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 64 * 1024));
            DWORD done = 0;
            if (!AnswerFileWrite(file, data, chunk, &done, nullptr)) {
                error = GetLastError();
                return false;
            }
            // A write that reports success without writing everything sets
            // no error of its own: the disk is full.
            if (done != chunk) {
                error = ERROR_DISK_FULL;
                return false;
            }
            data += done;
            size -= done;
        }
        return true;
    });
}

// The answer reaches "tolva.xml" only complete: written to the run's own
// temporary file and moved over the old one, so a failure never leaves a
// partial file nor destroys the earlier one.
bool WriteAnswerFile(const std::string &targetDir, const TResponseSink &answer) {
    const std::string path = targetDir + "\\tolva.xml";
    std::string temporary;
    UniqueFile file = CreateRunFile(targetDir, temporary);
    const bool created = !temporary.empty();
    // On every way out but the move, also an exception: closed before the
    // delete (a file still open would only be marked for deletion, or stay
    // behind), and only the file this run made.
    ScopeExit cleanup([&] {
        file.reset();
        if (created)
            DeleteFileA(temporary.c_str());
    });
    auto fail = [&](const std::string &failed, DWORD error) {
        ReportLog("Fehler beim Speichern der Importdatei " + failed + ": " + SystemErrorText(error));
        return false;
    };
    if (!file)
        return fail(created ? temporary : targetDir + "\\tlv*.tmp", GetLastError());
    // A file system that keeps no mark keeps the earlier behaviour: the file
    // is deleted on every way out but a dying process.
    const bool marked = MarkForDeletion(file.get(), true);
    if (DWORD error = ERROR_SUCCESS; !WriteAnswer(file.get(), answer, error))
        return fail(temporary, error);
    // On the disk before the rename: after a power loss the folder holds the
    // old answer or the new one, never a renamed file without its data.
    if (!FlushFileBuffers(file.get()))
        return fail(temporary, GetLastError());
    if (marked && !MarkForDeletion(file.get(), false))
        return fail(temporary, GetLastError());
    // One rename on one volume: the folder never lacks tolva.xml, and a
    // failure leaves the old file exactly as it was. Through the handle the
    // file is never without it; where that rename is not available, by name.
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (n > 0 && n < MAX_PATH && RenameThroughHandle(file.get(), full)) {
        cleanup.release();
        file.reset();
        return true;
    }
    if (!CloseHandle(file.release()))
        return fail(temporary, GetLastError());
    if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return fail(path, GetLastError());
    cleanup.release();
    return true;
}

// The host's parameters, read once, and what the prompts add to them.
struct RunInput {
    RunInput(const char *AdvisorNo, const double *LastImport, std::string_view params, const VariantState &state)
        : advisorNo(AdvisorNo ? AdvisorNo : ""), lastImport(LastImport),
          // The password's untrimmed value is a copy too.
          password(TrimControls(*SecretText(ParamValue(params, "Password", LocaleEquals)))) {
        auto param = [&](std::string_view name) { return TrimControls(ParamValue(params, name, LocaleEquals)); };
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

// One buffer, reserved once: appending never reallocates, so no partial
// copy of the body (with the password) is freed unwiped.
void ComposeBody(const RunInput &in, std::string &body) {
    const std::string version = std::string(InterfaceVersion) + "," + EncodeFormValue(in.client, false) + "," +
                                in.clientVersion;
    const std::string_view fields[] = {in.advisorNo, in.userLogin, *in.password,
                                       in.depotNumber, in.token};
    std::size_t size = 128 + version.size();
    for (std::string_view field : fields)
        size += 3 * field.size();
    body.reserve(size);
    const char *names[] = {"vermittlernummer=", "&benutzerkennung=", "&passwort=", "&depotnummer=",
                           "&wiederaufsetzpunkt="};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        body.append(names[i]);
        AppendFormValue(body, fields[i], false);
    }
    body.append("&version=").append(version);
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
    ImpApiMain::EndIfHostRaised();
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
    if (!noMessageBoxes)
        Framework::ShowMessageBox("Fehlermeldung von tolva:\r\n\r\n" + error.Message, "Fehler",
                                  MB_OK | MB_ICONERROR | MB_TASKMODAL);
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
    const bool depotVariant = LocaleEquals(ReadVariantName(), "lintessar");
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
    const bool overrideActive = ApplyOverrideFile(in.targetDir, settings);
    SecretText body;
    ComposeBody(in, *body);
    TResponseSink answer;
    if (const int32_t failed = Download(settings, overrideActive, *body, !in.noMessageBoxes, answer); failed != 0)
        return failed;
    if (IsErrorAnswer(answer)) {
        ReportPortalError(answer, in.noMessageBoxes);
        return errPortalError;
    }

    ReportLog("XML-Daten empfangen");
    if (!WriteAnswerFile(in.targetDir, answer))
        return errAnswerFile;
    StoreContinuation(state, answer, in);
    return in.depotNumber.empty() ? resOK : resDepotNrImport;
}

} // namespace

TWriteFileFn AnswerFileWrite = &WriteFile;

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
