#pragma once
// ImpApi_tolva_DpNr_Dlg: the modal prompt for a depot number.
// Use: TImpApi_DepotNr_Dlg d; d.DepotNumber = ""; if (d.Execute()) nr = d.DepotNumber;
#include <string>

#include "framework/StdCtrls.h"

class TImpApi_DepotNr_Dlg : public TForm {
public:
    TImpApi_DepotNr_Dlg();

    TLabel *Label1 = nullptr;
    TButton *btnOk = nullptr;
    TButton *btnCancel = nullptr;
    TEdit *eDepotNr = nullptr;

    // Before Execute: the prefill. After OK: the entry without leading and
    // trailing characters up to code 32.
    std::string DepotNumber;

    bool Execute();
    void eDepotNrChange(TComponent *Sender);
};
