#include "plugin/ImportObserver.h"

#include <windows.h>

#include "dialogs/ImpApiDownloadProgress.h"
#include "framework/Framework.h"
#include "plugin/ImpApiMain.h"

bool TImportObserver::WantsLog() const { return logToHost_ && ImpApiMain::CallbackRegistered(); }

void TImportObserver::Log(const std::string &Line) { ImpApiMain::ReportLog(Line); }

void TImportObserver::Begins() { Framework::SetScreenCursor(IDC_WAIT); }

void TImportObserver::Ended() noexcept { Framework::SetScreenCursor(IDC_APPSTARTING); }

void TImportObserver::BodyBegins() {
    if (showProgress_) {
        ShowDownloadProgress(nullptr);
        ImpApiMain::ReportProgress();
    }
}

void TImportObserver::BodyEnded() noexcept {
    if (!showProgress_)
        return;
    HideDownloadProgress();
    try {
        ImpApiMain::ReportProgress();
    } catch (...) {
        // The window is closed. What the host raised here is kept by the
        // callback's barrier, and the run ends with it after the request.
    }
}

void TImportObserver::Tick() { ImpApiMain::ReportProgress(); }

bool TImportObserver::Cancelled() { return showProgress_ && DownloadCancelled(); }
