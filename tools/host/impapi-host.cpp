// The sample host: integrates ImpApi_tolva.dll the way a host application
// should, and is the model for one.
//
//   impapi-host                 print the version answers
//   impapi-host msg CODE...     render result codes through GetExportErrorMsg
//   impapi-host import DIR LASTIMPORT PARAMS [PARAMS...]
//                               one import per PARAMS text (\n stands for a line
//                               break) in one loaded library, printing every
//                               callback report as it comes
//   impapi-host ApiDataDialog [USER [PASSWORD [EXTRA]]]
//                               show the access-data dialog and print what
//                               comes back
//
// What it shows:
// - the DLL is loaded by its full path only (the folder of this program),
//   never through the DLL search path, and its own imports come from System32;
// - VersionInfo and AppVersionCheck come first: a plug-in of another
//   interface, or one that refuses this host, is not used;
// - the callback dispatches the thread's window messages on each progress
//   pulse, so the progress window is drawn and its Cancel button works;
// - the host's own UI is disabled while an import runs (the callback
//   dispatches messages, so the user could start a second one); a DPI-aware
//   host needs nothing around the calls: the plug-in makes its windows
//   DPI-unaware itself;
// - FreeLibrary on every path (the library is held by a scope object);
// - the password is wiped from the host's buffers once it has been handed
//   over, and no copy of it is left behind as a string grows.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ImpApi_tolva.h"

namespace {

// This host's own version, as AppVersionCheck expects it.
constexpr int32_t kHostVersion = 40343;

// The loaded plug-in and its exports. Released by the destructor on every path.
class Plugin {
public:
    Plugin() = default;
    Plugin(const Plugin &) = delete;
    Plugin &operator=(const Plugin &) = delete;
    ~Plugin() {
        if (module_)
            FreeLibrary(module_);
    }

    // Loads the DLL from this program's folder. False (with a message) when
    // the full path cannot be formed, the file does not load or an export is
    // missing.
    bool Load() {
        char path[MAX_PATH];
        const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) {
            // Without our own full path there is no safe name to load.
            std::fprintf(stderr, "own path unknown (error %lu)\n", GetLastError());
            return false;
        }
        std::string dll(path, n);
        const size_t slash = dll.find_last_of("\\/");
        if (slash == std::string::npos) {
            std::fprintf(stderr, "own path is not a full path: %s\n", dll.c_str());
            return false;
        }
        dll.replace(slash + 1, std::string::npos, "ImpApi_tolva.dll");
        module_ = LoadLibraryExA(dll.c_str(), nullptr,
                                 LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module_ && GetLastError() == ERROR_INVALID_PARAMETER) // Windows 7 without KB2533623
            module_ = LoadLibraryExA(dll.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module_) {
            std::fprintf(stderr, "%s not loaded (error %lu)\n", dll.c_str(), GetLastError());
            return false;
        }
        return Take(VersionInfo, "VersionInfo") && Take(ImportVersionInfo, "ImportVersionInfo") &&
               Take(AppVersionCheck, "AppVersionCheck") && Take(RegProgrCallback, "RegProgrCallback") &&
               Take(ExportXML, "ExportXML") && Take(GetExportErrorMsg, "GetExportErrorMsg") &&
               Take(ApiDataDialog, "ApiDataDialog");
    }

    ImpApiTolvaVersionInfo VersionInfo = nullptr;
    ImpApiTolvaImportVersionInfo ImportVersionInfo = nullptr;
    ImpApiTolvaAppVersionCheck AppVersionCheck = nullptr;
    ImpApiTolvaRegProgrCallback RegProgrCallback = nullptr;
    ImpApiTolvaExportXML ExportXML = nullptr;
    ImpApiTolvaGetExportErrorMsg GetExportErrorMsg = nullptr;
    ImpApiTolvaApiDataDialog ApiDataDialog = nullptr;

private:
    template <class F> bool Take(F &proc, const char *name) {
        proc = reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module_, name)));
        if (!proc)
            std::fprintf(stderr, "export %s missing\n", name);
        return proc != nullptr;
    }
    HMODULE module_ = nullptr;
};

void Wipe(std::string &text) {
    SecureZeroMemory(text.data(), text.size());
    text.clear();
}

// The plug-in's texts are CP1252; show them as such on any console.
void PrintText(const char *text) {
    UINT old = GetConsoleOutputCP();
    SetConsoleOutputCP(1252);
    std::fputs(text, stdout);
    std::fflush(stdout);
    SetConsoleOutputCP(old);
}

void PrintMessage(const Plugin &plugin, int32_t code) {
    char buffer[IMPAPI_TOLVA_MESSAGE_BUFFER_SIZE];
    if (plugin.GetExportErrorMsg(code, buffer) != 0) {
        std::printf("%ld (no message: %s)\n", static_cast<long>(code),
                    code == IMPAPI_TOLVA_RES_OK || code == IMPAPI_TOLVA_RES_DEPOT_NR_IMPORT
                        ? "the answer was stored"
                        : "unknown code");
        return;
    }
    std::printf("%ld: ", static_cast<long>(code));
    PrintText(buffer);
    std::printf("\n");
}

// VersionInfo, ImportVersionInfo and AppVersionCheck, before anything else.
bool CheckVersions(const Plugin &plugin) {
    unsigned char version[IMPAPI_TOLVA_VERSION_BUFFER_SIZE] = {};
    plugin.ImportVersionInfo(version);
    const int32_t interfaceVersion = plugin.VersionInfo();
    std::printf("VersionInfo       = %ld\n", static_cast<long>(interfaceVersion));
    std::printf("ImportVersionInfo = %.*s\n", version[0], reinterpret_cast<char *>(version + 1));
    if (interfaceVersion != IMPAPI_TOLVA_VERSION_INFO) {
        // Another interface: its exports may take other arguments.
        std::fprintf(stderr, "the plug-in has interface %ld, this host knows %d\n",
                     static_cast<long>(interfaceVersion), IMPAPI_TOLVA_VERSION_INFO);
        return false;
    }
    const int32_t check = plugin.AppVersionCheck(kHostVersion);
    std::printf("AppVersionCheck(%ld) = %ld\n", static_cast<long>(kHostVersion), static_cast<long>(check));
    if (check != 0)
        std::fprintf(stderr, "the plug-in does not accept this host version\n");
    return check == 0;
}

const char *KindName(int32_t kind) {
    switch (kind) {
    case IMPAPI_TOLVA_CK_PROGRESS: return "progress";
    case IMPAPI_TOLVA_CK_LOG: return "log";
    case IMPAPI_TOLVA_CK_TIMING: return "timing";
    default: return "?";
    }
}

// Serves this thread's window messages, as the host's message loop would.
void DispatchMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) { // leave it for the host's own loop
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int g_pulses = 0;
void __stdcall Report(int32_t kind, int32_t number, const char *text) {
    if (kind == IMPAPI_TOLVA_CK_PROGRESS) {
        ++g_pulses; // pulses come per block: count them instead of flooding the screen
        DispatchMessages();
        return;
    }
    std::printf("  [%s %ld] ", KindName(kind), static_cast<long>(number));
    PrintText(text);
    std::printf("\n");
}

// The result never grows beyond the argument's length ("\n" becomes two
// characters): reserved at once, it is never moved, so no unwiped copy of a
// password is freed on the way.
std::string Unescape(const char *text) {
    std::string out;
    out.reserve(std::strlen(text));
    for (const char *p = text; *p; ++p) {
        if (p[0] == '\\' && p[1] == 'n') {
            out += "\r\n";
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

// While an import runs the host's own UI is off: the callback dispatches
// messages, and a second import started from the UI would get -21. A window
// host passes its main window; this console host has none, so only the guard
// against a second import remains.
class ImportRunning {
public:
    explicit ImportRunning(HWND mainWindow) : window_(mainWindow) {
        running_ = !busy_;
        busy_ = true;
        if (window_)
            EnableWindow(window_, FALSE);
    }
    ~ImportRunning() {
        if (window_)
            EnableWindow(window_, TRUE);
        if (running_)
            busy_ = false;
    }
    ImportRunning(const ImportRunning &) = delete;
    ImportRunning &operator=(const ImportRunning &) = delete;
    bool Started() const { return running_; }

private:
    static inline bool busy_ = false;
    HWND window_;
    bool running_;
};

int Import(const Plugin &plugin, int argc, char **argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: impapi-host import DIR LASTIMPORT PARAMS [PARAMS...]\n");
        return 2;
    }
    const std::string dir = argv[2];
    const double lastImport = std::atof(argv[3]);
    plugin.RegProgrCallback(&Report);
    int32_t result = 0;
    for (int i = 4; i < argc; ++i) {
        std::string params = Unescape(argv[i]);
        SecureZeroMemory(argv[i], std::strlen(argv[i])); // the password is in there
        std::printf("ExportXML #%d:\n", i - 3);
        g_pulses = 0;
        {
            ImportRunning running(nullptr);
            result = running.Started()
                         ? plugin.ExportXML(dir.c_str(), "4711", 0, &lastImport, params.c_str())
                         : IMPAPI_TOLVA_ERR_INTERNAL;
        }
        Wipe(params);
        std::printf("  progress pulses: %d\n  result ", g_pulses);
        PrintMessage(plugin, result);
        if (result == IMPAPI_TOLVA_RES_OK || result == IMPAPI_TOLVA_RES_DEPOT_NR_IMPORT) {
            const std::string path = dir + "\\tolva.xml";
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
                std::printf("  %s: %lu bytes\n", path.c_str(), data.nFileSizeLow);
        }
    }
    plugin.RegProgrCallback(nullptr);
    return result == IMPAPI_TOLVA_RES_OK || result == IMPAPI_TOLVA_RES_DEPOT_NR_IMPORT ? 0 : 1;
}

// The buffers a host keeps for the access data, filled from the arguments.
int DataDialog(const Plugin &plugin, int argc, char **argv) {
    char user[IMPAPI_TOLVA_USER_BUFFER_SIZE] = "", password[IMPAPI_TOLVA_USER_BUFFER_SIZE] = "";
    static char extra[IMPAPI_TOLVA_EXTRA_BUFFER_SIZE] = "";
    char *buffers[] = {user, password, extra};
    const size_t sizes[] = {sizeof user, sizeof password, sizeof extra};
    for (int i = 0; i < 3 && i + 2 < argc; ++i) {
        std::string text = Unescape(argv[i + 2]);
        std::snprintf(buffers[i], sizes[i], "%s", text.c_str());
        Wipe(text);
    }
    if (argc > 3)
        SecureZeroMemory(argv[3], std::strlen(argv[3]));
    const int32_t result = plugin.ApiDataDialog(user, password, extra);
    // Serve the queue once, as a host's message loop would: the dialog is released there.
    DispatchMessages();
    std::printf("ApiDataDialog = %ld\n  UserText     = ", static_cast<long>(result));
    PrintText(user);
    // A host stores the password where it keeps secrets; this one only shows its length.
    std::printf("\n  PasswordText = %zu characters\n  ExtraData    = ", std::strlen(password));
    SecureZeroMemory(password, sizeof password);
    PrintText(extra);
    std::printf("\n");
    return result == 1 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    Plugin plugin;
    if (!plugin.Load())
        return 2;
    if (!CheckVersions(plugin))
        return 2;
    const std::string command = argc >= 2 ? argv[1] : "";
    if (command == "msg") {
        for (int i = 2; i < argc; ++i)
            PrintMessage(plugin, std::atoi(argv[i]));
        return 0;
    }
    if (command == "import")
        return Import(plugin, argc, argv);
    if (command == "ApiDataDialog")
        return DataDialog(plugin, argc, argv);
    return 0;
}
