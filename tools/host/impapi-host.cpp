// The sample host: loads ImpApi_tolva.dll from its own folder the way the
// real host does (LoadLibrary, GetProcAddress by name) and drives it.
//
//   impapi-host                 print the version answers
//   impapi-host msg CODE...     render result codes through GetExportErrorMsg
#include <windows.h>

#include <cstdio>
#include <cstdlib>
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
        std::printf("%ld: (no text)\n", static_cast<long>(code));
        return;
    }
    std::printf("%ld: ", static_cast<long>(code));
    PrintText(buffer);
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv) {
    HMODULE module = LoadPlugin();
    if (argc >= 2 && std::string(argv[1]) == "msg") {
        for (int i = 2; i < argc; ++i)
            PrintMessage(module, std::atoi(argv[i]));
        return 0;
    }
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
