#pragma once
// The plug-in's windows are legacy windows laid out in 96-dpi pixels. While a
// DpiUnaware lives, this thread works in the DPI-unaware context, so the
// windows it creates and the coordinates it passes are stretched by the system
// on a high-density screen, whatever the host declared for its own windows.
// The thread's own context comes back when it ends. Where the system has no
// per-thread context (before Windows 10 1607), nothing changes.
#include <windows.h>

class DpiUnaware {
public:
    DpiUnaware() noexcept;
    ~DpiUnaware();
    DpiUnaware(const DpiUnaware &) = delete;
    DpiUnaware &operator=(const DpiUnaware &) = delete;
    // Gives the thread its own context back before the scope ends (the
    // windows are made; what follows may call the host). The end gives it
    // back again: a window procedure's return may have undone this.
    void Restore() noexcept;

private:
    DPI_AWARENESS_CONTEXT previous_ = nullptr;
};
