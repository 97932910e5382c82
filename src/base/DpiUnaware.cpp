#include "base/DpiUnaware.h"

namespace {
using SetContextFn = DPI_AWARENESS_CONTEXT(WINAPI *)(DPI_AWARENESS_CONTEXT);

// Looked up on every use: user32 is loaded in every process with windows, and
// the plug-in must still load where the function does not exist.
SetContextFn SetThreadContext() {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (!user32)
        return nullptr;
    return reinterpret_cast<SetContextFn>(
        reinterpret_cast<void *>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
}
} // namespace

DpiUnaware::DpiUnaware() noexcept {
    if (SetContextFn set = SetThreadContext())
        previous_ = set(DPI_AWARENESS_CONTEXT_UNAWARE);
}

DpiUnaware::~DpiUnaware() { Restore(); }

void DpiUnaware::Restore() noexcept {
    if (previous_)
        if (SetContextFn set = SetThreadContext())
            set(previous_);
}
