// Import benchmark host: loads ImpApi_tolva.dll as a host does and alternates,
// in one process, ExportXML with the yardstick every import is held against:
// a bare WinINet loop that does the same collecting (POST, 64 KiB chunks into
// memory, then the file in one pass) with no window and no callback.
//
//   import-bench DLL SERVER OBJECT DIR PLAN
//     PLAN: one letter per step, b = bare loop, i = ExportXML, n = ExportXML
//     without a callback (e.g. "ibibib").
//     DIR holds the folders "bare" and "import"; the override file beside
//     "import" points the plug-in at SERVER (plain HTTP).
// prints one line per step: kind seconds bytes result ws_before peak_ws ticks
// (the peak is the process's: it tells the memory of the first step only;
// ticks: the progress reports the step's callback received).
#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ImpApi_tolva.h"

#include "BenchSupport.h"

namespace {

using bench::Now;
using bench::WorkingSet;

constexpr DWORD kChunk = 64 * 1024;

// What a host does with the reports: count the progress ticks, quickly.
long g_ticks = 0;
void __stdcall Host(int32_t kind, int32_t, const char *) {
    if (kind == ckProgress)
        ++g_ticks;
}

// The yardstick. Returns the bytes stored, -1 on any failure.
int64_t BareLoop(const char *server, const char *object, const std::string &file) {
    int64_t total = -1;
    HINTERNET session = InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectA(session, server, 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
    const char *accept[] = {"text/plain", nullptr};
    HINTERNET request = HttpOpenRequestA(connection, "POST", object, nullptr, nullptr, accept,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    char body[] = "vermittlernummer=4711&benutzerkennung=bench&passwort=bench";
    std::vector<std::unique_ptr<char[]>> chunks;
    DWORD last = 0;
    if (request && HttpSendRequestA(request, "", 0, body, sizeof body - 1)) {
        total = 0;
        for (;;) {
            auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
            DWORD read = 0;
            if (!InternetReadFile(request, chunk.get(), kChunk, &read) || read == 0)
                break;
            total += read;
            last = read;
            chunks.push_back(std::move(chunk));
        }
    }
    InternetCloseHandle(request);
    InternetCloseHandle(connection);
    InternetCloseHandle(session);
    if (total <= 0)
        return -1;
    HANDLE out = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return -1;
    for (std::size_t i = 0; i < chunks.size() && total >= 0; ++i) {
        // Reads of a synchronous request fill the chunk; only the last may be short.
        const DWORD size = i + 1 == chunks.size() ? last : kChunk;
        DWORD written = 0;
        if (!WriteFile(out, chunks[i].get(), size, &written, nullptr) || written != size)
            total = -1;
    }
    CloseHandle(out);
    return total;
}

int64_t FileSize(const std::string &path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: import-bench DLL SERVER OBJECT DIR PLAN\n");
        return 2;
    }
    // A host is a GUI program: its window shows text long before an import, so
    // the first window and the first font of the process are not the plug-in's.
    HWND mainWindow = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                      nullptr, nullptr, nullptr);
    UpdateWindow(mainWindow);
    HMODULE plugin = LoadLibraryA(argv[1]);
    if (!plugin) {
        std::fprintf(stderr, "%s not loaded (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    auto exportXML =
        reinterpret_cast<ImpApiTolvaExportXML>(reinterpret_cast<void *>(GetProcAddress(plugin, "ExportXML")));
    auto regCallback = reinterpret_cast<ImpApiTolvaRegProgrCallback>(
        reinterpret_cast<void *>(GetProcAddress(plugin, "RegProgrCallback")));
    if (!exportXML || !regCallback)
        return 2;
    const std::string dir = argv[4], bareFile = dir + "\\bare\\tolva.xml", target = dir + "\\import";
    for (const char *step = argv[5]; *step; ++step) {
        DeleteFileA(bareFile.c_str());
        DeleteFileA((target + "\\tolva.xml").c_str());
        const SIZE_T before = WorkingSet(false);
        int64_t bytes = -1;
        int32_t result = 0;
        g_ticks = 0;
        regCallback(*step == 'n' ? nullptr : &Host);
        const double start = Now();
        if (*step == 'b') {
            bytes = BareLoop(argv[2], argv[3], bareFile);
        } else {
            const double lastImport = 1;
            result = exportXML(target.c_str(), "4711", 0, &lastImport, "UserLogin=bench\nPassword=bench");
        }
        const double seconds = Now() - start;
        if (*step != 'b')
            bytes = FileSize(target + "\\tolva.xml");
        std::printf("%c %.5f %lld %d %llu %llu %ld\n", *step, seconds, static_cast<long long>(bytes),
                    static_cast<int>(result), static_cast<unsigned long long>(before),
                    static_cast<unsigned long long>(WorkingSet(true)), g_ticks);
        std::fflush(stdout);
    }
    FreeLibrary(plugin);
    DestroyWindow(mainWindow);
    return 0;
}
