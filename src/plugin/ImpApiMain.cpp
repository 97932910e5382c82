#include "plugin/ImpApiMain.h"

#include <windows.h>

#include "base/HostBarrier.h"
#include "core/Texts.h"
#include "dialogs/ImpApiDownloadProgress.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ImpApiMain {
namespace {
constinit std::string g_apiVersion;
constinit TExportXMLRoutine g_apiExportXML = nullptr;
constinit TProgrCallback g_progrCallback = nullptr;
// The thread whose call holds the plug-in (0: none), a handle that tells
// whether it still lives, how deep its calls nest and whether one is a run.
struct Owner {
    DWORD Thread = 0;
    HANDLE Handle = nullptr;
    int Depth = 0;
    bool Running = false;
};
constinit Owner g_owner{};
constinit SRWLOCK g_ownerLock = SRWLOCK_INIT;

// The owner's thread has ended inside a call: the system took its windows and
// its stack; what is left of the call is let go, so the next call starts anew.
void ReleaseDeadOwner() {
    if (!g_owner.Handle || WaitForSingleObject(g_owner.Handle, 0) != WAIT_OBJECT_0)
        return;
    CloseHandle(g_owner.Handle);
    g_owner = {};
    ForgetDownloadProgress();
}
} // namespace

void RegisterVariant(std::string_view Version, TExportXMLRoutine Routine) {
    g_apiVersion = Version;
    g_apiExportXML = Routine;
}

const std::string &ApiVersion() { return g_apiVersion; }

void Report(int32_t Kind, int32_t Number, const char *Text) {
    HostBarrier::EndIfRaised();
    if (TProgrCallback callback = g_progrCallback)
        HostBarrier::Call([&] { callback(Kind, Number, Text ? Text : ""); });
}

TExportGate::TExportGate(bool Run) : run_(Run) {
    const DWORD self = GetCurrentThreadId();
    AcquireSRWLockExclusive(&g_ownerLock);
    ReleaseDeadOwner();
    if (g_owner.Thread == 0) {
        HANDLE thread = nullptr;
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0);
        g_owner = {self, thread, 1, Run};
        entered_ = true;
    } else if (g_owner.Thread == self && !(Run && g_owner.Running)) {
        ++g_owner.Depth;
        g_owner.Running = g_owner.Running || Run;
        entered_ = true;
    }
    ReleaseSRWLockExclusive(&g_ownerLock);
}

void TExportGate::Leave() noexcept {
    if (!std::exchange(entered_, false))
        return;
    AcquireSRWLockExclusive(&g_ownerLock);
    if (run_)
        g_owner.Running = false;
    if (--g_owner.Depth == 0) {
        if (g_owner.Handle)
            CloseHandle(g_owner.Handle);
        g_owner = {};
    }
    ReleaseSRWLockExclusive(&g_ownerLock);
}

bool CallbackRegistered() { return g_progrCallback != nullptr; }

void Initialize() { HostBarrier::Reset(); }

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
    // on the run's own thread, are refused at once, and the call in progress
    // goes on untouched.
    TExportGate gate(true);
    if (!gate.Entered())
        return errInternal;
    HostBarrier::Reset();
    int32_t result = errInternal;
    // No exception of the plug-in reaches the host; the run routine catches
    // its own failures, this is the last line.
    try {
        if (g_apiExportXML)
            result = g_apiExportXML(TargetDir, AdvisorNo, Reserved, LastImport, Params);
    } catch (...) {
        result = errInternal;
    }
    EXCEPTION_RECORD exception;
    if (!HostBarrier::Take(exception))
        return result;
    // The host's own exception goes back to it once the run has cleaned up; a
    // host that continues it, or a C++ exception, gives -21.
    gate.Leave();
    HostBarrier::RaiseAgain(exception);
    return errInternal;
}
