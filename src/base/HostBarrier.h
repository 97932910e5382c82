#pragma once
// The barrier at every place where the host's code can run inside a call of
// the plug-in: the host's callback, and the message loops that dispatch the
// host's messages to its window procedures (the plug-in's modal windows, the
// system's message boxes and certificate prompt). Whatever the host raises
// there (a structured exception such as a Delphi exception or an access
// violation, or a C++ exception that travels as one) is caught where the
// host's code returns to ours. The i386 build's C++ frames carry no
// structured-exception records: without the barrier such an exception would
// unwind past every destructor of the plug-in. Behind it the plug-in throws
// THostRaised, unwinds its own frames as C++ and runs its cleanup; the export
// then hands the exception back to the host.
#include <windows.h>

#include <type_traits>

// What the barrier caught: the exception's record (its chained record
// dropped) and whether there was one.
struct THostException {
    EXCEPTION_RECORD Record;
    bool Raised;
};

// Calls Call(Context). False when it returned; true when it raised, with the
// exception in Raised.
// A C++ exception of this module's own runtime (a test's callback) passes on
// i386 and counts as raised on x64, where it travels as a structured one.
bool ImpApiCallGuarded(void (*Call)(void *Context), void *Context, THostException &Raised);

// Codes of C++ exceptions: their objects may live in the frames the barrier
// unwound, so they are never raised again.
inline constexpr DWORD MsvcCppExceptionCode = 0xE06D7363;
inline constexpr DWORD GccCppExceptionCode = 0x20474343;
inline bool IsCppException(DWORD Code) { return Code == MsvcCppExceptionCode || Code == GccCppExceptionCode; }

// Thrown once the host has raised. Every catch block of the plug-in lets it
// pass ("catch (const THostRaised &) { throw; }"), so that only the export
// ends it.
struct THostRaised {};

namespace HostBarrier {

namespace Detail {
// Keeps the first exception of the export's call.
void Keep(const EXCEPTION_RECORD &Record) noexcept;
template <class F> void Thunk(void *Call) { (*static_cast<F *>(Call))(); }

// The thread's top-level windows before a call that shows a system box or
// prompt; after a raise the dialogs that came since are destroyed and the
// windows the call disabled are enabled again (their modal loop is gone).
class TModalWindows {
public:
    TModalWindows() noexcept;
    ~TModalWindows();
    TModalWindows(const TModalWindows &) = delete;
    TModalWindows &operator=(const TModalWindows &) = delete;
    void Restore() noexcept;

private:
    HWND *windows_ = nullptr;
    bool *enabled_ = nullptr;
    int count_ = 0;
};
} // namespace Detail

// Calls Call under the barrier; true when the host raised (its exception is
// kept for the export).
template <class F> bool Guard(F &&Call) {
    using Plain = std::remove_reference_t<F>;
    THostException raised;
    if (!ImpApiCallGuarded(&Detail::Thunk<Plain>, const_cast<void *>(static_cast<const void *>(&Call)), raised))
        return false;
    Detail::Keep(raised.Record);
    return true;
}
// As Guard, for a call that shows a box or prompt of the system: after a
// raise its windows are closed and the thread's windows enabled again.
template <class F> bool GuardBox(F &&Call) {
    Detail::TModalWindows before;
    if (!Guard(Call))
        return false;
    before.Restore();
    return true;
}
// As Guard and GuardBox, but a raise throws THostRaised.
template <class F> void Call(F &&Call) {
    if (Guard(Call))
        throw THostRaised();
}
template <class F> void CallBox(F &&Call) {
    if (GuardBox(Call))
        throw THostRaised();
}

// Throws THostRaised when the host has raised during the export's call.
void EndIfRaised();
// A call of an export begins: nothing is kept.
void Reset() noexcept;
// Takes the kept exception; false when the host raised nothing.
bool Take(EXCEPTION_RECORD &Record) noexcept;
// Hands the host's exception back to it once the plug-in has cleaned up: the
// record as the host raised it (code, flags, address, arguments). A C++
// exception is not raised again. Returns when the host continues it.
void RaiseAgain(const EXCEPTION_RECORD &Record);

} // namespace HostBarrier
