#include "plugin/HostCall.h"

#include <cstring>

namespace {
// Keeps the record, without the chained one: that lives in frames about to go.
void Keep(EXCEPTION_RECORD *Raised, const EXCEPTION_RECORD *Record) {
    std::memcpy(Raised, Record, sizeof *Raised);
    Raised->ExceptionRecord = nullptr;
}
} // namespace

#if defined(__x86_64__)
// x64: a frame of its own in the function tables whose language handler
// catches any exception raised below it. The handler unwinds the host's
// frames (running their own unwind handlers) to the resume label, which
// returns true. The fifth argument's home slot, at the frame's 0x50, holds
// where the record goes.
extern "C" EXCEPTION_DISPOSITION ImpApiHostHandler(EXCEPTION_RECORD *Record, void *Frame, CONTEXT *,
                                                   DISPATCHER_CONTEXT *Dispatcher);
extern "C" char ImpApiCallHostResume[];
asm(R"(
    .text
    .globl ImpApiCallHost
    .def ImpApiCallHost; .scl 2; .type 32; .endef
    .seh_proc ImpApiCallHost
ImpApiCallHost:
    pushq %rbx
    .seh_pushreg %rbx
    subq $32, %rsp
    .seh_stackalloc 32
    .seh_endprologue
    .seh_handler ImpApiHostHandler, @except
    movq %rcx, %rax
    movl %edx, %ecx
    movl %r8d, %edx
    movq %r9, %r8
    call *%rax
    xorl %eax, %eax
    nop
    addq $32, %rsp
    popq %rbx
    ret
    .globl ImpApiCallHostResume
ImpApiCallHostResume:
    movl $1, %eax
    addq $32, %rsp
    popq %rbx
    ret
    .seh_endproc
)");

extern "C" EXCEPTION_DISPOSITION ImpApiHostHandler(EXCEPTION_RECORD *Record, void *Frame, CONTEXT *,
                                                   DISPATCHER_CONTEXT *Dispatcher) {
    if (Record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    Keep(*reinterpret_cast<EXCEPTION_RECORD **>(static_cast<char *>(Frame) + 0x50), Record);
    RtlUnwindEx(Frame, ImpApiCallHostResume, Record, reinterpret_cast<PVOID>(1), Dispatcher->ContextRecord,
                Dispatcher->HistoryTable);
    __builtin_trap();
}

#elif defined(__i386__)
// i386: a registration record of its own on the stack, linked at fs:0 for the
// time of the call. Its handler unwinds the host's frames (RtlUnwind calls
// their handlers) and jumps back into ImpApiCallHost with __builtin_longjmp.
// The record is unlinked on every way out, also when a C++ exception of this
// module's own runtime unwinds through by its tables.
namespace {
struct Registration {
    Registration *Next;
    void *Handler;
    void *Resume[5];
    EXCEPTION_RECORD *Raised;
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

extern "C" bool ImpApiCallHost(ImpApiTolvaProgrCallback Callback, int32_t Kind, int32_t Number, const char *Text,
                               EXCEPTION_RECORD *Raised) {
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
        Callback(Kind, Number, Text);
    }
    return false;
}
#else
#error "no barrier for this architecture"
#endif
