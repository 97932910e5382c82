// The C++ runtime's own locks and slots. With the win32 thread model, libgcc's
// mutexes are semaphores created on first use and never closed: the unwinder
// locks one when the image registers its unwind tables at load (i386), the
// emulated thread-local storage of the exception machinery another, and takes
// a thread-local storage slot it never frees. In a DLL each load would leave
// them behind in the host. The image's calls of CreateSemaphoreW and TlsAlloc
// go through the recorders below instead (their import slots are defined here,
// so the linker takes these instead of kernel32's), and the unload releases
// what they handed out. The plug-in's own code creates neither.
#include <windows.h>

#include "dll/RuntimeLocks.h"

namespace {

// Zero until the first use: the unwinder takes its lock in a constructor
// that may run before any of this image's own.
template <typename T> struct Record {
    static constexpr LONG Capacity = 8; // the runtime makes two or three
    T items[Capacity];
    volatile LONG count;

    void Add(T item) {
        const LONG slot = InterlockedIncrement(&count) - 1;
        if (slot < Capacity)
            items[slot] = item;
    }
    template <typename Release> void ReleaseAll(Release release) {
        for (LONG i = 0; i < count && i < Capacity; ++i)
            release(items[i]);
        count = 0;
    }
};

constinit Record<HANDLE> semaphores{};
constinit Record<DWORD> slots{};

HANDLE WINAPI CreateRecordedSemaphore(LPSECURITY_ATTRIBUTES Attributes, LONG Initial, LONG Maximum, LPCWSTR Name) {
    HANDLE semaphore = CreateSemaphoreExW(Attributes, Initial, Maximum, Name, 0, SEMAPHORE_ALL_ACCESS);
    if (semaphore)
        semaphores.Add(semaphore);
    return semaphore;
}

DWORD WINAPI AllocRecordedSlot() {
    // kernel32's own TlsAlloc: the image's import slot leads here.
    const auto alloc = reinterpret_cast<DWORD(WINAPI *)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "TlsAlloc")));
    const DWORD slot = alloc ? alloc() : TLS_OUT_OF_INDEXES;
    if (slot != TLS_OUT_OF_INDEXES)
        slots.Add(slot);
    return slot;
}

} // namespace

// The import slots the runtime's objects call through, under the names the
// import library would give them.
#ifdef _WIN64
#define IMPORT_SLOT(name, bytes) "__imp_" #name
#else
#define IMPORT_SLOT(name, bytes) "__imp__" #name "@" #bytes
#endif
extern "C" constinit decltype(&CreateSemaphoreW) const RecordedCreateSemaphoreW __asm__(IMPORT_SLOT(CreateSemaphoreW, 16)) =
    CreateRecordedSemaphore;
extern "C" constinit decltype(&TlsAlloc) const RecordedTlsAlloc __asm__(IMPORT_SLOT(TlsAlloc, 0)) = AllocRecordedSlot;

namespace RuntimeLocks {

void ReleaseAtUnload() {
    semaphores.ReleaseAll([](HANDLE semaphore) { CloseHandle(semaphore); });
    slots.ReleaseAll([](DWORD slot) { TlsFree(slot); });
}

} // namespace RuntimeLocks
