#include "dialogs/ImpApi_tolva_DpNr_Dlg.h"

#include "core/Texts.h"

namespace {
using D = TImpApi_DepotNr_Dlg;
constexpr TFontDef Font10 = {.Height = -13};
constexpr TControlDef Controls[] = {
    // Each field right after its label in window order: screen readers name a
    // field by the label before it.
    {.Create = Field<&D::Label1>, .Name = "Label1", .Left = 16, .Top = 16, .Width = 249, .Height = 33,
     .Caption = "Bitte geben Sie die tolva-Depotnummer für den Datenabruf ein:", .Font = Font10,
     .AutoSize = false, .WordWrap = true},
    {.Create = Field<&D::eDepotNr>, .Name = "eDepotNr", .Left = 16, .Top = 56, .Width = 201, .Height = 24,
     .Font = Font10, .TabOrder = 0, .OnEvent = Handler<&D::eDepotNrChange>},
    {.Create = Field<&D::btnOk>, .Name = "btnOk", .Left = 232, .Top = 112, .Width = 75, .Height = 25,
     .Caption = "Ok", .TabOrder = 1, .Enabled = false, .Default = true, .ModalResult = mrOk},
    {.Create = Field<&D::btnCancel>, .Name = "btnCancel", .Left = 144, .Top = 112, .Width = 75, .Height = 25,
     .Caption = "Abbrechen", .TabOrder = 2, .ModalResult = mrCancel},
};
constexpr TFormDef Layout = {.Name = "ImpApi_DpNr_Dlg", .Caption = "ImpApi_DpNr_Dlg", .ClientWidth = 319,
                             .ClientHeight = 146, .BorderStyle = bsDialog, .SystemMenu = false,
                             .Controls = Controls};
} // namespace

TImpApi_DepotNr_Dlg::TImpApi_DepotNr_Dlg() { LoadLayout(Layout); }

bool TImpApi_DepotNr_Dlg::Execute() {
    SetText("Depotnummer-Abfrage");
    eDepotNr->SetText(DepotNumber);
    const bool ok = ShowModal() == mrOk;
    if (ok)
        DepotNumber = TrimControls(eDepotNr->Text());
    Close();
    return ok;
}

void TImpApi_DepotNr_Dlg::eDepotNrChange(TComponent *) { btnOk->SetEnabled(!eDepotNr->Text().empty()); }
