// The sample host: loads ImpApi_tolva.dll from its own folder the way the
// real host does (LoadLibrary, GetProcAddress by name) and drives it.
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
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ImpApi_tolva.h"

namespace {

HMODULE LoadPlugin() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    dir.erase(dir.find_last_of("\\/") + 1);
    HMODULE module = LoadLibraryA((dir + "ImpApi_tolva.dll").c_str());
    if (!module) {
        std::fprintf(stderr, "ImpApi_tolva.dll not loaded (error %lu)\n", GetLastError());
        std::exit(2);
    }
    return module;
}

template <class F> F Proc(HMODULE module, const char *name) {
    auto proc = reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    if (!proc) {
        std::fprintf(stderr, "export %s missing\n", name);
        std::exit(2);
    }
    return proc;
}

// The plug-in's texts are CP1252; show them as such on any console.
void PrintText(const char *text) {
    UINT old = GetConsoleOutputCP();
    SetConsoleOutputCP(1252);
    std::fputs(text, stdout);
    std::fflush(stdout);
    SetConsoleOutputCP(old);
}

void PrintMessage(HMODULE module, int32_t code) {
    char buffer[IMPAPI_MESSAGE_BUFFER_SIZE];
    if (Proc<TGetExportErrorMsg>(module, "GetExportErrorMsg")(code, buffer) != 0) {
        std::printf("%ld (no message: %s)\n", static_cast<long>(code),
                    code == 0 || code == resDepotNrImport ? "the answer was stored" : "unknown code");
        return;
    }
    std::printf("%ld: ", static_cast<long>(code));
    PrintText(buffer);
    std::printf("\n");
}

const char *KindName(int32_t kind) {
    switch (kind) {
    case ckProgress: return "progress";
    case ckLog: return "log";
    case ckTiming: return "timing";
    default: return "?";
    }
}

int g_pulses = 0;
void __stdcall PrintReport(int32_t kind, int32_t number, const char *text) {
    if (kind == ckProgress) {
        ++g_pulses; // pulses come per block: count them instead of flooding the screen
        return;
    }
    std::printf("  [%s %ld] ", KindName(kind), static_cast<long>(number));
    PrintText(text);
    std::printf("\n");
}

std::string Unescape(const char *text) {
    std::string out;
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

int Import(HMODULE module, int argc, char **argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: impapi-host import DIR LASTIMPORT PARAMS [PARAMS...]\n");
        return 2;
    }
    const std::string dir = argv[2];
    const double lastImport = std::atof(argv[3]);
    Proc<TRegProgrCallback>(module, "RegProgrCallback")(&PrintReport);
    int32_t result = 0;
    for (int i = 4; i < argc; ++i) {
        const std::string params = Unescape(argv[i]);
        std::printf("ExportXML #%d:\n", i - 3);
        g_pulses = 0;
        result = Proc<TExportXML>(module, "ExportXML")(dir.c_str(), "4711", 0, &lastImport, params.c_str());
        std::printf("  progress pulses: %d\n  result ", g_pulses);
        PrintMessage(module, result);
        if (result == 0 || result == resDepotNrImport) {
            const std::string path = dir + "\\tolva.xml";
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
                std::printf("  %s: %lu bytes\n", path.c_str(), data.nFileSizeLow);
        }
    }
    Proc<TRegProgrCallback>(module, "RegProgrCallback")(nullptr);
    return result == 0 || result == resDepotNrImport ? 0 : 1;
}

// The buffers a host keeps for the access data, filled from the arguments.
int DataDialog(HMODULE module, int argc, char **argv) {
    char user[IMPAPI_USER_BUFFER_SIZE] = "", password[IMPAPI_USER_BUFFER_SIZE] = "";
    static char extra[IMPAPI_EXTRA_BUFFER_SIZE] = "";
    char *buffers[] = {user, password, extra};
    const size_t sizes[] = {sizeof user, sizeof password, sizeof extra};
    for (int i = 0; i < 3 && i + 2 < argc; ++i)
        std::snprintf(buffers[i], sizes[i], "%s", Unescape(argv[i + 2]).c_str());
    const int32_t result = Proc<TApiDataDialog>(module, "ApiDataDialog")(user, password, extra);
    // Serve the queue once, as a host's message loop would: the dialog is released there.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    std::printf("ApiDataDialog = %ld\n  UserText     = ", static_cast<long>(result));
    PrintText(user);
    std::printf("\n  PasswordText = %zu characters\n  ExtraData    = ", std::strlen(password));
    PrintText(extra);
    std::printf("\n");
    return result == 1 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    HMODULE module = LoadPlugin();
    if (argc >= 2 && std::string(argv[1]) == "msg") {
        for (int i = 2; i < argc; ++i)
            PrintMessage(module, std::atoi(argv[i]));
        return 0;
    }
    if (argc >= 2 && std::string(argv[1]) == "import")
        return Import(module, argc, argv);
    if (argc >= 2 && std::string(argv[1]) == "ApiDataDialog")
        return DataDialog(module, argc, argv);
    unsigned char version[IMPAPI_VERSION_BUFFER_SIZE] = {};
    Proc<TImportVersionInfo>(module, "ImportVersionInfo")(version);
    std::printf("VersionInfo       = %ld\n",
                static_cast<long>(Proc<TVersionInfo>(module, "VersionInfo")()));
    std::printf("ImportVersionInfo = %.*s\n", version[0], reinterpret_cast<char *>(version + 1));
    std::printf("AppVersionCheck(40343) = %ld\n",
                static_cast<long>(Proc<TAppVersionCheck>(module, "AppVersionCheck")(40343)));
    FreeLibrary(module);
    return 0;
}
