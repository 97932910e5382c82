#include "dialogs/ImpApi_tolva_PwDlg.h"

#include "core/Texts.h"
#include "framework/Framework.h"

namespace {
using D = TImpApiPwDlg;
constexpr TControlDef Controls[] = {
    // Each field right after its label in window order: screen readers name a
    // field by the label before it.
    {.Create = Field<&D::Label1>, .Name = "Label1", .Left = 16, .Top = 16, .Width = 290, .Height = 13,
     .Caption = "Bitte geben Sie das Zugangs-Password zur Benutzerkennung"},
    {.Create = Field<&D::ePasswort>, .Name = "ePasswort", .Left = 16, .Top = 56, .Width = 201, .Height = 21,
     .TabOrder = 0, .PasswordChar = '*', .OnEvent = Handler<&D::ePasswortChange>},
    {.Create = Field<&D::btnOk>, .Name = "btnOk", .Left = 232, .Top = 112, .Width = 75, .Height = 25,
     .Caption = "Ok", .TabOrder = 1, .Enabled = false, .Default = true, .ModalResult = mrOk},
    {.Create = Field<&D::btnCancel>, .Name = "btnCancel", .Left = 144, .Top = 112, .Width = 75, .Height = 25,
     .Caption = "Abbrechen", .TabOrder = 2, .ModalResult = mrCancel},
    {.Create = Field<&D::lbInfotext>, .Name = "lbInfotext", .Left = 16, .Top = 32, .Width = 43, .Height = 13,
     .Caption = "lbInfotext"},
};
constexpr TFormDef Layout = {.Name = "ImpApiPwDlg", .Caption = "ImpApiPwDlg", .ClientWidth = 319,
                             .ClientHeight = 146, .BorderStyle = bsDialog, .SystemMenu = false,
                             .Controls = Controls};
} // namespace

TImpApiPwDlg::TImpApiPwDlg() { LoadLayout(Layout); }

// The edit window's text; Password wipes itself.
TImpApiPwDlg::~TImpApiPwDlg() {
    if (ePasswort && ePasswort->HandleAllocated())
        Framework::WipeEditWindow(ePasswort->Handle());
}

bool TImpApiPwDlg::Execute() {
    SetText(PortalName + " Zugangsberechtigung");
    lbInfotext->SetText("<" + UserLogin + "> für die " + PortalName + "-Depotschnittstelle ein: ");
    const bool ok = ShowModal() == mrOk;
    if (ok)
        Password = ePasswort->Text();
    Close();
    return ok;
}

void TImpApiPwDlg::ePasswortChange(TComponent *) {
    btnOk->SetEnabled(ePasswort->TextLength() > 0);
}
