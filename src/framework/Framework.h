#pragma once
// The window framework's module state: the plug-in's own instance handle.
#include <windows.h>

namespace Framework {

void Initialize(HINSTANCE Instance);
void Finalize();
// The DLL's own module handle: window classes are registered with it.
HINSTANCE Instance();

// The application-wide screen cursor: one of the system cursors (IDC_WAIT,
// IDC_APPSTARTING, IDC_ARROW, ...).
void SetScreenCursor(LPCSTR SystemCursor);
LPCSTR ScreenCursor();

} // namespace Framework
