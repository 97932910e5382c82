#pragma once
// ImpApi_tolva_Dlg: the dialog in which the user maintains the portal access
// data the host stores. ApiDataDialog puts the host's texts into UserText,
// PasswordText and ExtraData, runs ShowModal and, after OK, reads the first
// two back; ExtraData is held while the dialog is open and never changed.
#include <string>
#include <vector>

#include "controls/UserEdit.h"
#include "core/Texts.h"
#include "framework/StdCtrls.h"

class TdlgProviderDataEdit : public TForm {
public:
    TdlgProviderDataEdit();
    ~TdlgProviderDataEdit() override;

    TLabel *Label1 = nullptr;
    TButton *btnOK = nullptr;
    TButton *btnCancel = nullptr;
    TEditText *eUser = nullptr;
    TLabel *Label2 = nullptr;
    TEditText *ePassword = nullptr;
    TLabel *Label3 = nullptr;
    TLabel *lbSSVersion = nullptr;
    TButton *btnHelp = nullptr;
    TLabel *Label4 = nullptr;
    TLabel *Label5 = nullptr;

    // The interface version the label shows: the plug-in hands it in.
    std::string VersionText;
    std::string UserText;
    SecretText PasswordText;
    std::string ExtraData;

    // The user guide, relative to the host executable's folder.
    static constexpr const char *GuideName = "ImportApi\\tolva\\Die Schnittstelle zu tolva.pdf";
    // The guide's full name beside the host application's executable.
    static std::string GuidePath();

    void FormShow(TComponent *Sender);
    void FormClose(TComponent *Sender, TCloseAction &Action);
    void FormDestroy(TComponent *Sender);
    void btnHelpClick(TComponent *Sender);
};
