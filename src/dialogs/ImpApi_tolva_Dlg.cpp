#include "dialogs/ImpApi_tolva_Dlg.h"

#include <shellapi.h>

#include <ImpApi_tolva.h>
#include "core/Texts.h"
#include "framework/Framework.h"

namespace {
using D = TdlgProviderDataEdit;
constexpr TFontDef Bold8 = {.Height = -11, .Bold = true};
constexpr TFontDef Plain10 = {.Height = -13};

// The host receives at most this many characters of each field: typing
// stops there (texts passed in are shown as they come, up to 255).
constexpr int MaxHostText = IMPAPI_USER_BUFFER_SIZE - 1;

// A field without frame, checks or own error prompt.
void PlainField(TComponent &c) {
    auto &e = static_cast<TEditText &>(c);
    e.SetBorderStyle(bsNone);
    e.SetCheckMode({});
    e.SetErrPrompt("EditText1");
}

constexpr TControlDef Controls[] = {
    // Each field right after its label in window order: screen readers name a
    // field by the label before it.
    {.Create = Field<&D::Label1>, .Name = "Label1", .Left = 16, .Top = 33, .Width = 152, .Height = 13,
     .Caption = "Benutzerkennung (tolva-Portal)"},
    {.Create = Field<&D::eUser>, .Name = "eUser", .Left = 16, .Top = 48, .Width = 161, .Height = 15,
     .TabOrder = 0, .MaxLength = MaxHostText, .More = PlainField},
    {.Create = Field<&D::btnOK>, .Name = "btnOK", .Left = 190, .Top = 155, .Width = 75, .Height = 25,
     .Caption = "OK", .TabOrder = 3, .Default = true, .ModalResult = mrOk},
    {.Create = Field<&D::btnCancel>, .Name = "btnCancel", .Left = 104, .Top = 155, .Width = 75, .Height = 25,
     .Caption = "Abbrechen", .TabOrder = 2, .Cancel = true, .ModalResult = mrCancel},
    {.Create = Field<&D::Label2>, .Name = "Label2", .Left = 16, .Top = 73, .Width = 118, .Height = 13,
     .Caption = "Passwort (tolva-Portal) *"},
    {.Create = Field<&D::ePassword>, .Name = "ePassword", .Left = 16, .Top = 88, .Width = 161, .Height = 15,
     .TabOrder = 1, .PasswordChar = '*', .MaxLength = MaxHostText, .More = PlainField},
    {.Create = Field<&D::Label3>, .Name = "Label3", .Left = 16, .Top = 8, .Width = 128, .Height = 13,
     .Caption = "Schnittstellen-Version:", .Font = Bold8},
    {.Create = Field<&D::lbSSVersion>, .Name = "lbSSVersion", .Left = 152, .Top = 8, .Width = 44, .Height = 13,
     .Font = Bold8},
    {.Create = Field<&D::btnHelp>, .Name = "btnHelp", .Left = 16, .Top = 155, .Width = 75, .Height = 25,
     .Caption = "Anleitung", .Font = Bold8, .TabOrder = 4, .OnEvent = Handler<&D::btnHelpClick>},
    {.Create = Field<&D::Label4>, .Name = "Label4", .Left = 24, .Top = 112, .Width = 225, .Height = 33,
     .Caption = "Wenn Sie das Passwort hier nicht eingeben, wird bei jedem Abruf der Daten danach gefragt.",
     .AutoSize = false, .WordWrap = true},
    {.Create = Field<&D::Label5>, .Name = "Label5", .Left = 16, .Top = 112, .Width = 5, .Height = 16,
     .Caption = "*", .Font = Plain10},
};
constexpr TFormDef Layout = {.Name = "dlgProviderDataEdit", .Caption = "tolva Zugangsdaten", .ClientWidth = 275,
                             .ClientHeight = 191, .BorderStyle = bsDialog, .SystemMenu = true,
                             .OnShow = Handler<&D::FormShow>,
                             .OnClose = Handler<&D::FormClose>, .Controls = Controls};
} // namespace

TdlgProviderDataEdit::TdlgProviderDataEdit() { LoadLayout(Layout); }

TdlgProviderDataEdit::~TdlgProviderDataEdit() { FormDestroy(this); }

void TdlgProviderDataEdit::FormShow(TComponent *) {
    lbSSVersion->SetText(VersionText);
    eUser->SetValue(CutShort(UserText));
    ePassword->SetValue(CutShort(*PasswordText));
}

// ExtraData stays as it came: the dialog neither shows nor edits it, so a
// confirmation must not lose the host's further provider data.
void TdlgProviderDataEdit::FormClose(TComponent *, TCloseAction &) {
    if (ModalResult() != mrOk)
        return;
    UserText = eUser->Value();
    PasswordText = ePassword->Value();
}

// Secrets do not outlive the dialog in its memory or its edit window (the
// field's value slots wipe themselves).
void TdlgProviderDataEdit::FormDestroy(TComponent *) {
    if (ePassword && ePassword->HandleAllocated())
        Framework::WipeEditWindow(ePassword->Handle());
    PasswordText.Clear();
}

std::string TdlgProviderDataEdit::GuidePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return GuideName;
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    path.erase(path.find_last_of('\\') + 1);
    return path + GuideName;
}

// A missing guide or viewer is silent; the dialog stays open either way.
void TdlgProviderDataEdit::btnHelpClick(TComponent *) {
    const std::string path = GuidePath();
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    ShellExecuteA(Handle(), nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
