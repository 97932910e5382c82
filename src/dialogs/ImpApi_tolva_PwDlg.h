#pragma once
// ImpApi_tolva_PwDlg: the modal prompt for the portal password of a login.
// Use: TImpApiPwDlg dlg; dlg.PortalName = ...; dlg.UserLogin = ...;
//      if (dlg.Execute()) password = std::move(dlg.Password);
// The typed password is wiped from the edit window and from Password when the
// dialog is destroyed; take it out before.
#include <string>

#include "core/Texts.h"

#include "framework/StdCtrls.h"

class TImpApiPwDlg : public TForm {
public:
    TImpApiPwDlg();
    ~TImpApiPwDlg() override;

    TLabel *Label1 = nullptr;
    TButton *btnOk = nullptr;
    TButton *btnCancel = nullptr;
    TEdit *ePasswort = nullptr;
    TLabel *lbInfotext = nullptr;

    std::string PortalName;
    std::string UserLogin;
    SecretText Password; // written only on OK

    // Shows the prompt modally; true when it was closed with OK.
    bool Execute();
    void ePasswortChange(TComponent *Sender);
};
