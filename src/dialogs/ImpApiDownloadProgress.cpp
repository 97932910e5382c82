#include "dialogs/ImpApiDownloadProgress.h"

#include <memory>

namespace {
constinit TfrmDownloadProgress *g_frmDownloadProgress = nullptr;

using F = TfrmDownloadProgress;
// The panel is the bar's trough: accessibility clients see a progress bar.
void ProgressTrough(TComponent &c) { static_cast<TPanel &>(c).ProgressRole = true; }

constexpr TControlDef Controls[] = {
    // Sizes itself: the cancel text is longer than the running one.
    {.Create = Field<&F::Label1>, .Name = "Label1", .Left = 16, .Top = 8, .Width = 119, .Height = 16,
     .Caption = "Download läuft ...", .Font = {.Height = -13, .Bold = true}},
    {.Create = Field<&F::Panel1>, .Name = "Panel1", .Left = 16, .Top = 40, .Width = 209, .Height = 17,
     .TabOrder = 0, .BevelOuter = bvLowered, .More = ProgressTrough},
    {.Create = Field<&F::Shape1>, .Name = "Shape1", .Parent = "Panel1", .Left = 0, .Top = -1, .Width = 33,
     .Height = 19, .Color = clHighlight},
    {.Create = Field<&F::Button1>, .Name = "Button1", .Left = 56, .Top = 80, .Width = 129, .Height = 25,
     .Caption = "Download abbrechen", .TabOrder = 1, .OnEvent = Handler<&F::Button1Click>},
    {.Create = Field<&F::Timer1>, .Name = "Timer1", .Enabled = false, .OnEvent = Handler<&F::Timer1Timer>},
};
constexpr TFormDef Layout = {
    .Name = "frmDownloadProgress", .Caption = "Info", .ClientWidth = 248, .ClientHeight = 127,
    .BorderStyle = bsSingle, .SystemMenu = true, .OnShow = Handler<&F::FormShow>, .Controls = Controls};
} // namespace

TfrmDownloadProgress::TfrmDownloadProgress(HWND Owner) {
    OwnerWindow = Owner;
    LoadLayout(Layout);
}

void TfrmDownloadProgress::FormShow(TComponent *) { FCancelled = false; }

// The progress reported is where the block stands in the trough.
void TfrmDownloadProgress::Timer1Timer(TComponent *) {
    Shape1->SetLeft(Shape1->Left() + 10);
    const int half = Shape1->Width() / 2;
    if (Shape1->Left() > Panel1->Width() - half)
        Shape1->SetLeft(Panel1->Left() - half);
    Panel1->SetProgress(Shape1->Left() * 100 / Panel1->Width());
}

void TfrmDownloadProgress::Button1Click(TComponent *) {
    FCancelled = true;
    Label1->SetText("Download wird abgebrochen !");
    Shape1->SetColor(clRed);
    Timer1->SetEnabled(false);
}

void ShowDownloadProgress(HWND Owner) {
    if (g_frmDownloadProgress)
        return;
    auto form = std::make_unique<TfrmDownloadProgress>(Owner);
    form->Show();
    form->Timer1->SetEnabled(true);
    g_frmDownloadProgress = form.release();
}

void HideDownloadProgress() noexcept {
    TfrmDownloadProgress *form = g_frmDownloadProgress;
    if (!form)
        return;
    try {
        form->Timer1->SetEnabled(false);
        form->Hide();
    } catch (...) {
        // Hiding is only cosmetic here: the window goes in any case.
    }
    g_frmDownloadProgress = nullptr;
    delete form;
}

void ForgetDownloadProgress() noexcept { g_frmDownloadProgress = nullptr; }

bool DownloadCancelled() noexcept { return g_frmDownloadProgress && g_frmDownloadProgress->Cancelled(); }
