#include "plugin/ImpApiMain.h"

#include <windows.h>

#include "core/Texts.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace ImpApiMain {
namespace {
constinit std::string g_apiVersion;
constinit TExportXMLRoutine g_apiExportXML = nullptr;
constinit TProgrCallback g_progrCallback = nullptr;
// The thread whose run is in progress (0: none) and its nesting depth.
constinit std::atomic<DWORD> g_runThread{0};
constinit int g_runDepth = 0;
} // namespace

void RegisterVariant(std::string_view Version, TExportXMLRoutine Routine) {
    g_apiVersion = Version;
    g_apiExportXML = Routine;
}

const std::string &ApiVersion() { return g_apiVersion; }

void Report(int32_t Kind, int32_t Number, const char *Text) {
    if (TProgrCallback callback = g_progrCallback)
        callback(Kind, Number, Text ? Text : "");
}

bool CallbackRegistered() { return g_progrCallback != nullptr; }

void Initialize() {}

// The callback and the run routine stay: only the texts are emptied.
void Finalize() { g_apiVersion.clear(); }

} // namespace ImpApiMain

using namespace ImpApiMain;

extern "C" int32_t __stdcall VersionInfo(void) { return 40300; }

extern "C" void __stdcall ImportVersionInfo(unsigned char *Buffer) {
    if (!Buffer)
        return;
    const std::size_t length = std::min(g_apiVersion.size(), ShortTextMax);
    Buffer[0] = static_cast<unsigned char>(length);
    std::memcpy(Buffer + 1, g_apiVersion.data(), length);
}

extern "C" int32_t __stdcall RegProgrCallback(TProgrCallback Callback) {
    g_progrCallback = Callback;
    return 0;
}

extern "C" int32_t __stdcall ExportXML(const char *TargetDir, const char *AdvisorNo,
                                       int32_t Reserved, const double *LastImport,
                                       const char *Params) {
    // One run at a time: a second thread is refused at once, and the run in
    // progress goes on untouched. A call from the callback on the run's own
    // thread is let through.
    const DWORD self = GetCurrentThreadId();
    DWORD owner = 0;
    if (!g_runThread.compare_exchange_strong(owner, self) && owner != self)
        return errInternal;
    ++g_runDepth;
    int32_t result = errInternal;
    // Nothing may reach the host as an exception; the run routine catches its
    // own failures, this is the last line.
    try {
        if (g_apiExportXML)
            result = g_apiExportXML(TargetDir, AdvisorNo, Reserved, LastImport, Params);
    } catch (...) {
        result = errInternal;
    }
    if (--g_runDepth == 0)
        g_runThread.store(0);
    return result;
}
