// Stand-in for the progress window until the real one is part of the static
// library: a real top-level window "Info" with a real button "Download
// abbrechen", so tests can click it as they will click the real one.
#include <windows.h>

#include "transport/ImpApiDownloadProgress.h"

namespace {
HWND g_window = nullptr;
bool g_cancelled = false;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_COMMAND && LOWORD(w) == 1)
        g_cancelled = true;
    return DefWindowProcA(window, message, w, l);
}
} // namespace

void ShowDownloadProgress(HWND Owner) {
    if (g_window)
        return;
    WNDCLASSA cls = {};
    cls.lpfnWndProc = Proc;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "ImpApiFakeProgress";
    RegisterClassA(&cls);
    g_cancelled = false;
    g_window = CreateWindowA("ImpApiFakeProgress", "Info", WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0, 254, 156, Owner,
                             nullptr, cls.hInstance, nullptr);
    CreateWindowA("BUTTON", "Download abbrechen", WS_CHILD | WS_VISIBLE, 56, 80, 129, 25, g_window,
                  reinterpret_cast<HMENU>(1), cls.hInstance, nullptr);
}

void HideDownloadProgress() {
    if (HWND window = g_window) {
        g_window = nullptr;
        DestroyWindow(window);
    }
}

bool DownloadCancelled() { return g_window && g_cancelled; }
