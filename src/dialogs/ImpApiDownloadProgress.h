#pragma once
// ImpApiDownloadProgress: the small modeless window with an endless bar and a
// cancel button that the transport shows while it reads an answer body. The
// window never stops a download; it records the wish, the transport polls it.
#include <windows.h>

#include "framework/StdCtrls.h"

// Opens the window (if none is open) and starts its timer.
void ShowDownloadProgress(HWND Owner);
// Stops the timer, hides and destroys the open window; nothing without one.
void HideDownloadProgress() noexcept;
// The thread that showed the window ended inside a run: the system took the
// window with it; the object is let go untouched, so that the next run shows
// its own.
void ForgetDownloadProgress() noexcept;
// Whether the user pressed the cancel button of the open window.
bool DownloadCancelled() noexcept;

class TfrmDownloadProgress : public TForm {
public:
    explicit TfrmDownloadProgress(HWND Owner);

    TLabel *Label1 = nullptr;
    TPanel *Panel1 = nullptr;
    TShape *Shape1 = nullptr;
    TButton *Button1 = nullptr;
    TTimer *Timer1 = nullptr;

    void FormShow(TComponent *Sender);
    void Timer1Timer(TComponent *Sender);
    void Button1Click(TComponent *Sender);
    bool Cancelled() const { return FCancelled; }

private:
    bool FCancelled = false;
};
