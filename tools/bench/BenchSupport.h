#pragma once
// Shared by the benchmark programs: a clock and the process's memory.
#include <windows.h>
#include <psapi.h>

#include <cstdint>

namespace bench {

inline double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) / double(f.QuadPart);
}

inline SIZE_T WorkingSet(bool peak) {
    PROCESS_MEMORY_COUNTERS m = {};
    m.cb = sizeof m;
    GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
    return peak ? m.PeakWorkingSetSize : m.WorkingSetSize;
}

// What a host does with the reports: nothing, quickly.
inline void __stdcall Host(int32_t, int32_t, const char *) {}

} // namespace bench
