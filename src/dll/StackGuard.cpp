// The stack protector's guard value and failure handler for the DLL, in place
// of libssp's. libssp seeds its guard from CryptAcquireContext in a
// constructor, that is under the loader lock, where that call may load a
// cryptographic provider DLL into the host. This seed, like the Microsoft
// runtime's security cookie, mixes values that need no library: the clock,
// the process and thread, the performance counter and the (randomised) stack
// address.
#include <windows.h>

#include <cstdint>

#include "dll/StackGuard.h"

extern "C" {

// Non-zero before seeding, so a check that ran before could not pass by a zero canary.
uintptr_t __stack_chk_guard = static_cast<uintptr_t>(0x2F8A51C3E6B4D709ull);

[[noreturn]] void __stack_chk_fail(void) {
    // A smashed stack in the host's process: end it at once, reporting why.
    if (IsProcessorFeaturePresent(23 /* PF_FASTFAIL_AVAILABLE */))
        __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE));
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    __builtin_unreachable();
}

} // extern "C"

namespace StackGuard {

__attribute__((no_stack_protector)) void Seed() {
    FILETIME time;
    GetSystemTimeAsFileTime(&time);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    uint64_t seed = (static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime) ^
                    static_cast<uint64_t>(counter.QuadPart) ^
                    (static_cast<uint64_t>(GetCurrentProcessId()) << 32 | GetCurrentThreadId()) ^
                    (static_cast<uint64_t>(GetTickCount()) << 16) ^ reinterpret_cast<uintptr_t>(&seed);
    seed ^= seed >> 29; // fold the high half into a 32-bit guard
    seed *= 0xBF58476D1CE4E5B9ull;
    seed ^= seed >> 32;
    const auto guard = static_cast<uintptr_t>(seed);
    if (guard != 0)
        __stack_chk_guard = guard;
}

} // namespace StackGuard
