#pragma once
// ImpApiDownloadProgress: the small modeless window with an endless bar and a
// cancel button that the transport shows while it reads an answer body. The
// window never stops a download; it records the wish, the transport polls it.
#include <windows.h>

// Opens the window (if none is open) and starts its timer.
void ShowDownloadProgress(HWND Owner);
// Stops the timer, hides and destroys the open window; nothing without one.
void HideDownloadProgress();
// Whether the user pressed the cancel button of the open window.
bool DownloadCancelled();
