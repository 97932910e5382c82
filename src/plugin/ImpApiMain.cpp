#include "plugin/ImpApiMain.h"

#include <windows.h>

#include "core/Texts.h"
#include "plugin/HostCall.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace ImpApiMain {
namespace {
constinit std::string g_apiVersion;
constinit TExportXMLRoutine g_apiExportXML = nullptr;
constinit TProgrCallback g_progrCallback = nullptr;
// The thread whose run is in progress (0: none).
constinit std::atomic<DWORD> g_runThread{0};
// What the host raised in its callback during the run in progress (only the
// run's own thread reports).
constinit bool g_hostRaised = false;
constinit EXCEPTION_RECORD g_hostException{};
} // namespace

void RegisterVariant(std::string_view Version, TExportXMLRoutine Routine) {
    g_apiVersion = Version;
    g_apiExportXML = Routine;
}

const std::string &ApiVersion() { return g_apiVersion; }

void Report(int32_t Kind, int32_t Number, const char *Text) {
    EndIfHostRaised();
    if (TProgrCallback callback = g_progrCallback) {
        if (ImpApiCallHost(callback, Kind, Number, Text ? Text : "", &g_hostException)) {
            g_hostRaised = true;
            throw THostRaised();
        }
    }
}

void EndIfHostRaised() {
    if (g_hostRaised)
        throw THostRaised();
}

bool CallbackRegistered() { return g_progrCallback != nullptr; }

void Initialize() { g_hostRaised = false; }

// The callback and the run routine stay: only the texts are emptied.
void Finalize() { g_apiVersion.clear(); }

} // namespace ImpApiMain

using namespace ImpApiMain;

extern "C" int32_t __stdcall VersionInfo(void) { return IMPAPI_TOLVA_VERSION_INFO; }

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
    // One run at a time: another thread, and a nested call from the callback
    // on the run's own thread, are refused at once, and the run in progress
    // goes on untouched.
    DWORD owner = 0;
    if (!g_runThread.compare_exchange_strong(owner, GetCurrentThreadId()))
        return errInternal;
    g_hostRaised = false;
    int32_t result = errInternal;
    // No exception of the plug-in reaches the host; the run routine catches
    // its own failures, this is the last line.
    try {
        if (g_apiExportXML)
            result = g_apiExportXML(TargetDir, AdvisorNo, Reserved, LastImport, Params);
    } catch (...) {
        result = errInternal;
    }
    const bool raised = std::exchange(g_hostRaised, false);
    const EXCEPTION_RECORD exception = g_hostException;
    g_runThread.store(0);
    if (!raised)
        return result;
    // The host's own exception goes back to it once the run has cleaned up,
    // with its code, flags and arguments. A C++ exception is not raised again
    // (its object may have lived in the frames that were unwound): -21.
    if (!IsCppException(exception.ExceptionCode))
        RaiseException(exception.ExceptionCode, exception.ExceptionFlags & EXCEPTION_NONCONTINUABLE,
                       std::min<DWORD>(exception.NumberParameters, EXCEPTION_MAXIMUM_PARAMETERS),
                       exception.ExceptionInformation);
    return errInternal;
}
