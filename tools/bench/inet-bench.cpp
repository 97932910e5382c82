// Transport and import benchmarks: one answer read by a minimal plain WinINet
// loop, by HttpsRequest into a response sink, or by a whole import run, timed,
// with the process's memory.
//
//   inet-bench plain|keep|request SERVER OBJECT
//   inet-bench readwrite SERVER OBJECT FILE    plain loop writing each chunk to FILE
//   inet-bench import SERVER OBJECT TARGETDIR  ExportXML (the override file beside
//                                              TARGETDIR points at SERVER)
// prints one line: mode bytes seconds result start_rss peak_rss
//   inet-bench breakdown SERVER OBJECT TINYSERVER TARGETDIR ROUNDS
//                                              where one import's time goes (TINYSERVER
//                                              answers one byte): each
//                                              step of the run timed on its own with
//                                              the calls the run makes, ROUNDS times,
//                                              then whole runs; one line per figure:
//                                              step round seconds
#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "framework/Framework.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImpApi_tolva_AnswerFile.h"
#include "plugin/ImpApi_tolva_Main.h"
#include "plugin/ImportObserver.h"
#include "dialogs/ImpApiDownloadProgress.h"
#include "transport/ImpApiINet.h"
#include "core/AnswerScan.h"
#include "core/IntegerText.h"

#include "BenchSupport.h"

namespace {

using bench::Host;
using bench::Now;
using bench::WorkingSet;

// The least one can do with WinINet: open, send, read into one buffer; with
// Keep, the bytes are also kept in memory, as a download must.
int64_t PlainRead(const char *server, const char *object, TResponseSink *keep = nullptr,
                  HANDLE file = INVALID_HANDLE_VALUE) {
    HINTERNET session = InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectA(session, server, 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
    const char *accept[] = {"*/*", nullptr};
    HINTERNET request = HttpOpenRequestA(connection, "GET", object, nullptr, nullptr, accept,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    int64_t total = -1;
    if (request && HttpSendRequestA(request, "", 0, nullptr, 0)) {
        auto buffer = std::make_unique<char[]>(65536);
        DWORD read = 0;
        total = 0;
        while (InternetReadFile(request, buffer.get(), 65535, &read) && read > 0)
        {
            total += read;
            if (keep)
                keep->Append(buffer.get(), read);
            DWORD written = 0;
            if (file != INVALID_HANDLE_VALUE && (!WriteFile(file, buffer.get(), read, &written, nullptr) || written != read))
                return -1;
        }
    }
    InternetCloseHandle(request);
    InternetCloseHandle(connection);
    InternetCloseHandle(session);
    return total;
}

// The run's reading of its configuration: the variant's registry value, then
// the override file's six keys.
void ReadConfiguration(const std::string &targetDir) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Korvane\\VEKT\\ImportAPI\\tolva", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        DWORD type = 0, size = 0;
        RegQueryValueExA(key, "API_Variante", nullptr, &type, nullptr, &size);
        RegCloseKey(key);
    }
    const std::string path = targetDir + "\\..\\tolva\\tolva.ini";
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    char full[MAX_PATH], value[2048];
    GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    for (const char *name : {"Https", "Server", "Service", "Accept", "Headers", "Timeout"}) {
        GetPrivateProfileStringA("Global", name, "", value, sizeof value, full);
        ParseIniInteger(value);
    }
}

// What the bare loop does with the answer: one file written in 64 KiB pieces
// and closed, neither flushed nor moved.
void PlainWrite(const std::string &path, const TResponseSink &answer) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    answer.WriteTo([&](const char *data, std::size_t size) {
        while (size > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 64 * 1024));
            DWORD done = 0;
            if (!WriteFile(file, data, chunk, &done, nullptr) || done != chunk)
                return false;
            data += done;
            size -= done;
        }
        return true;
    });
    CloseHandle(file);
}

// The floor for the progress window: a window of its shape made with plain
// Win32 calls (caption, fonts, a label, a progress bar with a child, a button,
// a timer), shown, hidden and destroyed, without the framework.
void PlainWindow() {
    static const bool registered = [] {
        WNDCLASSA plain = {};
        plain.lpfnWndProc = DefWindowProcA;
        plain.lpszClassName = "PlainProgress";
        plain.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        return RegisterClassA(&plain) != 0;
    }();
    if (!registered)
        return;
    HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif"),
          bold = CreateFontA(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    HWND form = CreateWindowExA(WS_EX_DLGMODALFRAME, "PlainProgress", "Info",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 500, 300, 254,
                                156, nullptr, nullptr, nullptr, nullptr);
    HWND label = CreateWindowExA(0, "STATIC", "Download läuft ...", WS_CHILD | WS_VISIBLE, 16, 8, 119, 16, form,
                                 nullptr, nullptr, nullptr);
    HWND bar = CreateWindowExA(0, "msctls_progress32", "", WS_CHILD | WS_VISIBLE, 16, 40, 209, 17, form, nullptr,
                               nullptr, nullptr);
    CreateWindowExA(0, "PlainProgress", "", WS_CHILD | WS_VISIBLE, 0, -1, 33, 19, bar, nullptr, nullptr, nullptr);
    HWND button = CreateWindowExA(0, "BUTTON", "Download abbrechen", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 56, 80, 129,
                                  25, form, nullptr, nullptr, nullptr);
    for (HWND w : {form, bar, button})
        SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(bold), FALSE);
    ShowWindow(form, SW_SHOWNORMAL);
    HWND timer = CreateWindowExA(0, "PlainProgress", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetTimer(timer, 1, 1000, nullptr);
    KillTimer(timer, 1);
    DestroyWindow(timer);
    ShowWindow(form, SW_HIDE);
    DestroyWindow(form);
    DeleteObject(font);
    DeleteObject(bold);
}

void Figure(const char *step, int round, double seconds) { std::printf("%s %d %.6f\n", step, round, seconds); }

// Times each step of one import as the run makes it, then whole runs.
int Breakdown(const char *server, const char *object, const char *tinyServer, const std::string &targetDir,
              int rounds) {
    // The request as the run sends it.
    const std::string body = "vermittlernummer=4711&benutzerkennung=bench&passwort=bench&depotnummer="
                             "&wiederaufsetzpunkt=&version=2.1.3,,";
    for (int round = 0; round < rounds; ++round) {
        double t = Now();
        ReadConfiguration(targetDir);
        Figure("config", round, Now() - t);

        // The progress window, piece by piece, as ShowDownloadProgress and
        // HideDownloadProgress drive it.
        t = Now();
        auto form = std::make_unique<TfrmDownloadProgress>(nullptr);
        Figure("window.create", round, Now() - t);
        t = Now();
        form->HandleNeeded();
        Figure("window.handles", round, Now() - t);
        t = Now();
        form->Show();
        Figure("window.show", round, Now() - t);
        t = Now();
        form->Timer1->SetEnabled(true);
        form->Timer1->SetEnabled(false);
        Figure("window.timer", round, Now() - t);
        t = Now();
        form->Hide();
        Figure("window.hide", round, Now() - t);
        t = Now();
        form.reset();
        Figure("window.destroy", round, Now() - t);
        t = Now();
        PlainWindow();
        Figure("window.plain", round, Now() - t);

        // Session, connection, request and a one-byte answer: the fixed cost.
        std::string status;
        TImportObserver quiet(true, false), shows(true, true);
        const auto request = [&](const std::string &Server) {
            return THttpsRequest{.Server = Server, .ObjectName = object, .Secure = false, .Body = body,
                                 .TimeoutSec = 180};
        };
        {
            TResponseSink tiny;
            t = Now();
            HttpsRequest(request(tinyServer), tiny, status, quiet);
            Figure("request", round, Now() - t);
        }
        // The same with the whole answer: the difference is the reading.
        TResponseSink answer;
        t = Now();
        const int32_t result = HttpsRequest(request(server), answer, status, quiet);
        Figure("request+read", round, Now() - t);
        if (result != 0)
            return 1;

        {
            // The same once more with the progress window, as the run reads.
            TResponseSink shown;
            t = Now();
            HttpsRequest(request(server), shown, status, shows);
            Figure("request+read+window", round, Now() - t);
        }

        t = Now();
        Framework::SetScreenCursor(IDC_WAIT);
        Framework::SetScreenCursor(IDC_APPSTARTING);
        Figure("cursor", round, Now() - t);

        t = Now();
        if (!IsErrorAnswer(answer))
            ReadContinuation(answer);
        Figure("scan", round, Now() - t);

        t = Now();
        ImpApi_tolva_AnswerFile::WriteAnswerFile(targetDir, answer);
        Figure("write", round, Now() - t);
        t = Now();
        PlainWrite(targetDir + "\\plain.xml", answer);
        Figure("write.plain", round, Now() - t);

        t = Now();
        answer.Clear();
        std::string secret = body;
        Wipe(secret);
        Figure("wipe", round, Now() - t);
    }
    for (int round = 0; round < rounds; ++round) {
        const double lastImport = 1, t = Now();
        const int32_t result = ExportXML(targetDir.c_str(), "4711", 0, &lastImport, "UserLogin=bench\nPassword=bench");
        Figure("ExportXML", round, Now() - t);
        if (result != 0)
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: inet-bench plain|keep|request|readwrite|import SERVER OBJECT [PATH]\n");
        return 2;
    }
    Framework::Initialize(GetModuleHandleA(nullptr));
    ImpApiMain::Initialize();
    ImpApi_tolva_Main::Initialize();
    RegProgrCallback(&Host);
    const std::string mode = argv[1];
    if (mode == "breakdown" && argc == 7)
        return Breakdown(argv[2], argv[3], argv[4], argv[5], std::atoi(argv[6]));
    // The host is a GUI program whose windowing is loaded long before an
    // import: the first window of this process is not the request's cost.
    ShowDownloadProgress(nullptr);
    HideDownloadProgress();
    const SIZE_T startRss = WorkingSet(false);
    int64_t bytes = 0;
    int32_t result = 0;
    double seconds = 0;
    // The sink's wipe and release at the end are not timed.
    TResponseSink sink;
    const double start = Now();
    if (mode == "readwrite" && argc == 5) {
        HANDLE file = CreateFileA(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        bytes = PlainRead(argv[2], argv[3], nullptr, file);
        CloseHandle(file);
        seconds = Now() - start;
    } else if (mode == "import" && argc == 5) {
        const double lastImport = 1;
        result = ExportXML(argv[4], "4711", 0, &lastImport, "UserLogin=bench\nPassword=bench");
        seconds = Now() - start;
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExA((std::string(argv[4]) + "\\tolva.xml").c_str(), GetFileExInfoStandard, &data);
        bytes = (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    } else if (mode == "plain" || mode == "keep") {
        bytes = PlainRead(argv[2], argv[3], mode == "keep" ? &sink : nullptr);
        seconds = Now() - start;
    } else {
        std::string status;
        // As the import run calls it.
        TImportObserver observer(true, true);
        result = HttpsRequest({.Server = argv[2], .ObjectName = argv[3], .Secure = false, .TimeoutSec = 180}, sink,
                              status, observer);
        seconds = Now() - start;
        bytes = static_cast<int64_t>(sink.Size());
    }
    std::printf("%s %lld %.4f %d %llu %llu\n", mode.c_str(), static_cast<long long>(bytes), seconds,
                static_cast<int>(result), static_cast<unsigned long long>(startRss),
                static_cast<unsigned long long>(WorkingSet(true)));
    return 0;
}
