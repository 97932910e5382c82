// Transport and import benchmarks: one answer read by a minimal plain WinINet
// loop, by HttpsRequest into a response sink, or by a whole import run, timed,
// with the process's memory.
//
//   inet-bench plain|keep|request SERVER OBJECT
//   inet-bench readwrite SERVER OBJECT FILE    plain loop writing each chunk to FILE
//   inet-bench import SERVER OBJECT TARGETDIR  ExportXML (the override file beside
//                                              TARGETDIR points at SERVER)
// prints one line: mode bytes seconds result start_rss peak_rss
#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "framework/Framework.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImpApi_tolva_Main.h"
#include "plugin/ImportObserver.h"
#include "dialogs/ImpApiDownloadProgress.h"
#include "transport/ImpApiINet.h"

namespace {

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) / double(f.QuadPart);
}

SIZE_T Rss(bool peak) {
    PROCESS_MEMORY_COUNTERS m = {};
    m.cb = sizeof m;
    GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
    return peak ? m.PeakWorkingSetSize : m.WorkingSetSize;
}

// What a host does with the reports: nothing, quickly.
void __stdcall Host(int32_t, int32_t, const char *) {}

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
    // The host is a GUI program whose windowing is loaded long before an
    // import: the first window of this process is not the request's cost.
    ShowDownloadProgress(nullptr);
    HideDownloadProgress();
    const SIZE_T startRss = Rss(false);
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
        int64_t status = 0;
        // As the import run calls it.
        TImportObserver observer(true, true);
        result = HttpsRequest({.Server = argv[2], .ObjectName = argv[3], .Secure = false, .TimeoutSec = 180}, sink,
                              status, observer);
        seconds = Now() - start;
        bytes = static_cast<int64_t>(sink.Size());
    }
    std::printf("%s %lld %.4f %d %llu %llu\n", mode.c_str(), static_cast<long long>(bytes), seconds,
                static_cast<int>(result), static_cast<unsigned long long>(startRss),
                static_cast<unsigned long long>(Rss(true)));
    return 0;
}
