#include "base/HostBarrier.h"

#include <algorithm>
#include <cstring>
#include <new>
#if defined(__x86_64__)
#include <unwind.h>
#endif

namespace {
// Keeps the record, without the chained one: that lives in frames about to
// go. The first one stays: a host that raises again during the unwinding
// raises in the frames that are being left.
void Keep(THostException *Raised, const EXCEPTION_RECORD *Record) {
    if (Raised->Raised)
        return;
    std::memcpy(&Raised->Record, Record, sizeof Raised->Record);
    Raised->Record.ExceptionRecord = nullptr;
    Raised->Raised = true;
}
} // namespace

#if defined(__x86_64__)
// x64: a frame of its own in the function tables whose language handler
// catches any exception raised below it. The handler unwinds the host's
// frames (running their own unwind handlers) to the resume label. The third
// argument's home slot, at the frame's 0x40, holds where the record goes.
extern "C" EXCEPTION_DISPOSITION ImpApiHostHandler(EXCEPTION_RECORD *Record, void *Frame, CONTEXT *,
                                                   DISPATCHER_CONTEXT *Dispatcher);
extern "C" bool ImpApiCallGuardedFrame(void (*Call)(void *), void *Context, THostException *Raised);
extern "C" char ImpApiCallGuardedResume[];
asm(R"(
    .text
    .globl ImpApiCallGuardedFrame
    .def ImpApiCallGuardedFrame; .scl 2; .type 32; .endef
    .seh_proc ImpApiCallGuardedFrame
ImpApiCallGuardedFrame:
    pushq %rbx
    .seh_pushreg %rbx
    subq $32, %rsp
    .seh_stackalloc 32
    .seh_endprologue
    .seh_handler ImpApiHostHandler, @except
    movq %r8, 0x40(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    call *%rax
    xorl %eax, %eax
    nop
    addq $32, %rsp
    popq %rbx
    ret
    .globl ImpApiCallGuardedResume
ImpApiCallGuardedResume:
    movl $1, %eax
    addq $32, %rsp
    popq %rbx
    ret
    .seh_endproc
)");

// A GCC host's C++ exception (x64). Its frames run their destructors by
// unwinding to them and then resume the unwinding toward the frame that the
// exception object names as the one that catches it. No frame of the host's
// catches it here, so the barrier names itself: after the host's destructors
// the unwinding ends at the barrier, not past it.
static _Unwind_Exception *GccException(const EXCEPTION_RECORD &Record) {
    if (Record.ExceptionCode != GccCppExceptionCode || Record.NumberParameters < 1)
        return nullptr;
    return reinterpret_cast<_Unwind_Exception *>(Record.ExceptionInformation[0]);
}

extern "C" EXCEPTION_DISPOSITION ImpApiHostHandler(EXCEPTION_RECORD *Record, void *Frame, CONTEXT *,
                                                   DISPATCHER_CONTEXT *Dispatcher) {
    if (Record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    Keep(*reinterpret_cast<THostException **>(static_cast<char *>(Frame) + 0x40), Record);
    if (_Unwind_Exception *object = GccException(*Record)) {
        object->private_[1] = reinterpret_cast<_Unwind_Word>(Frame);
        object->private_[2] = reinterpret_cast<_Unwind_Word>(ImpApiCallGuardedResume);
        object->private_[3] = 0;
    }
    RtlUnwindEx(Frame, ImpApiCallGuardedResume, Record, reinterpret_cast<PVOID>(1), Dispatcher->ContextRecord,
                Dispatcher->HistoryTable);
    __builtin_trap();
}

#elif defined(__i386__)
// i386: a registration record of its own on the stack, linked at fs:0 for the
// time of the call. Its handler unwinds the host's frames (RtlUnwind calls
// their handlers) and jumps back into the frame with __builtin_longjmp. The
// record is unlinked on every way out, also when a C++ exception of this
// module's own runtime unwinds through by its tables.
namespace {
struct Registration {
    Registration *Next;
    void *Handler;
    void *Resume[5];
    THostException *Raised;
};

Registration *ChainHead() {
    Registration *head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}
void SetChainHead(Registration *Head) { asm volatile("movl %0, %%fs:0" : : "r"(Head) : "memory"); }

struct Unlink {
    Registration *Frame;
    ~Unlink() { SetChainHead(Frame->Next); }
};
} // namespace

// RtlUnwind may not keep ebx, esi and edi: the wrapper does.
extern "C" void __cdecl ImpApiRtlUnwind(void *Frame, EXCEPTION_RECORD *Record);
asm(R"(
    .text
    .globl _ImpApiRtlUnwind
    .def _ImpApiRtlUnwind; .scl 2; .type 32; .endef
_ImpApiRtlUnwind:
    pushl %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl $0
    pushl 28(%esp)
    pushl $0
    pushl 32(%esp)
    call *__imp__RtlUnwind@16
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

extern "C" EXCEPTION_DISPOSITION __cdecl ImpApiHostHandler(EXCEPTION_RECORD *Record, void *Frame, CONTEXT *,
                                                           void *) {
    if (Record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    Registration *volatile frame = static_cast<Registration *>(Frame);
    Keep(frame->Raised, Record);
    ImpApiRtlUnwind(frame, Record);
    __builtin_longjmp(frame->Resume, 1);
}

extern "C" bool ImpApiCallGuardedFrame(void (*Call)(void *), void *Context, THostException *Raised) {
    Registration frame;
    frame.Handler = reinterpret_cast<void *>(&ImpApiHostHandler);
    frame.Raised = Raised;
    if (__builtin_setjmp(frame.Resume)) {
        // RtlUnwind left this record at the head of the chain.
        SetChainHead(frame.Next);
        return true;
    }
    frame.Next = ChainHead();
    SetChainHead(&frame);
    {
        const Unlink unlink{&frame};
        Call(Context);
    }
    return false;
}
#else
#error "no barrier for this architecture"
#endif

bool ImpApiCallGuarded(void (*Call)(void *), void *Context, THostException &Raised) {
    Raised.Raised = false;
    if (!ImpApiCallGuardedFrame(Call, Context, &Raised))
        return false;
#if defined(__x86_64__)
    // The host's exception object is ours now, as for any runtime that
    // catches a GCC exception it did not throw: it goes back to the host's
    // runtime (whatever its destructor raises is dropped).
    if (_Unwind_Exception *object = GccException(Raised.Record); object && object->exception_cleanup) {
        THostException ignored{};
        ImpApiCallGuardedFrame([](void *Object) {
            auto *o = static_cast<_Unwind_Exception *>(Object);
            o->exception_cleanup(_URC_FOREIGN_EXCEPTION_CAUGHT, o);
        }, object, &ignored);
    }
#endif
    return true;
}

namespace HostBarrier {
namespace {
// What the host raised during the export's call in progress (only the thread
// that holds the call reports).
constinit THostException g_kept{};
} // namespace

void Detail::Keep(const EXCEPTION_RECORD &Record) noexcept { ::Keep(&g_kept, &Record); }

namespace {
BOOL CALLBACK CountWindow(HWND, LPARAM Count) { return ++*reinterpret_cast<int *>(Count), TRUE; }
struct Collect {
    HWND *Windows;
    bool *Enabled;
    int Size, Count;
};
BOOL CALLBACK CollectWindow(HWND Window, LPARAM Param) {
    auto &c = *reinterpret_cast<Collect *>(Param);
    if (c.Count == c.Size)
        return FALSE;
    c.Windows[c.Count] = Window;
    c.Enabled[c.Count++] = IsWindowEnabled(Window);
    return TRUE;
}
BOOL CALLBACK CloseNewDialog(HWND Window, LPARAM Param) {
    const auto &c = *reinterpret_cast<const Collect *>(Param);
    char kind[16];
    if (std::find(c.Windows, c.Windows + c.Count, Window) == c.Windows + c.Count &&
        GetClassNameA(Window, kind, sizeof kind) && std::strcmp(kind, "#32770") == 0)
        DestroyWindow(Window);
    return TRUE;
}
} // namespace

// Room for a few more windows than there are: the call itself adds none.
Detail::TModalWindows::TModalWindows() noexcept {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&count));
    windows_ = new (std::nothrow) HWND[count + 8];
    enabled_ = new (std::nothrow) bool[count + 8];
    if (!windows_ || !enabled_)
        return;
    Collect c{windows_, enabled_, count + 8, 0};
    EnumThreadWindows(GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&c));
    count_ = c.Count;
}

Detail::TModalWindows::~TModalWindows() {
    delete[] windows_;
    delete[] enabled_;
}

// The box's dialogs go first: the system enables their owners as they go.
void Detail::TModalWindows::Restore() noexcept {
    if (!windows_ || !enabled_)
        return;
    Collect c{windows_, enabled_, count_, count_};
    EnumThreadWindows(GetCurrentThreadId(), &CloseNewDialog, reinterpret_cast<LPARAM>(&c));
    for (int i = 0; i < count_; ++i)
        if (enabled_[i] && IsWindow(windows_[i]) && !IsWindowEnabled(windows_[i]))
            Guard([&] { EnableWindow(windows_[i], TRUE); });
}

void EndIfRaised() {
    if (g_kept.Raised)
        throw THostRaised();
}

void Reset() noexcept { g_kept.Raised = false; }

bool Take(EXCEPTION_RECORD &Record) noexcept {
    if (!g_kept.Raised)
        return false;
    Record = g_kept.Record;
    g_kept.Raised = false;
    return true;
}

namespace {
using TNtRaiseException = LONG(NTAPI *)(EXCEPTION_RECORD *Record, CONTEXT *Context, BOOLEAN FirstChance);

// The record goes out as it is, with the context of this frame: the system
// dispatches it from here to the host's handlers. RaiseException and
// RtlRaiseException would set the address to their own; the system's own
// call underneath them takes the record as given. A host that continues the
// exception resumes after the capture, and this returns.
__attribute__((noinline)) void Dispatch(TNtRaiseException Raise, EXCEPTION_RECORD &Record) {
    CONTEXT context;
    volatile bool dispatched = false;
    std::memset(&context, 0, sizeof context);
    RtlCaptureContext(&context);
    if (dispatched)
        return;
    dispatched = true;
    Raise(&Record, &context, TRUE);
}
} // namespace

void RaiseAgain(const EXCEPTION_RECORD &Record) {
    if (IsCppException(Record.ExceptionCode))
        return;
    EXCEPTION_RECORD record = Record;
    record.ExceptionRecord = nullptr;
    record.ExceptionFlags &= EXCEPTION_NONCONTINUABLE;
    record.NumberParameters = std::min<DWORD>(record.NumberParameters, EXCEPTION_MAXIMUM_PARAMETERS);
    if (HMODULE ntdll = GetModuleHandleA("ntdll.dll"))
        if (auto raise = reinterpret_cast<TNtRaiseException>(
                reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtRaiseException")))) {
            Dispatch(raise, record);
            return;
        }
    RaiseException(record.ExceptionCode, record.ExceptionFlags, record.NumberParameters,
                   record.ExceptionInformation);
}

} // namespace HostBarrier
