// The password and depot-number prompts, driven as a user would while their
// modal loops run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "UiTestSupport.h"
#include "dialogs/ImpApi_tolva_DpNr_Dlg.h"
#include "dialogs/ImpApi_tolva_PwDlg.h"

namespace {

constexpr const char *PwCaption = "tolva Zugangsberechtigung";
constexpr const char *DpCaption = "Depotnummer-Abfrage";

class Prompts : public ::testing::Test {
protected:
    void SetUp() override { InitFrameworkForTests(); }
};

// Steps that need the prompt's window: they wait until it is shown.
HWND g_form;
ModalScript::Step WaitFor(const char *caption) {
    return [caption] {
        g_form = FindForm(caption);
        return g_form && IsWindowVisible(g_form);
    };
}
HWND Edit() { return FindChild(g_form, "Edit", nullptr); }
HWND OkButton() { return FindChild(g_form, "Button", "Ok"); }
HWND CancelButton() { return FindChild(g_form, "Button", "Abbrechen"); }

SIZE TextExtent(HWND w, const std::string &text) {
    HDC dc = GetDC(w);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0)));
    RECT r{};
    DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(w, dc);
    return {r.right, r.bottom};
}

// The frame both prompts share: fixed dialog frame without any title-bar
// button, centred, the button row, focus in the edit.
void ExpectPromptFrame() {
    ExpectFrame(g_form, 319, 146, WS_CAPTION, WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                WS_EX_DLGMODALFRAME);
    ExpectLayout({{"Ok", OkButton(), 232, 112, 75, 25, -11, 0, 0xF, BS_DEFPUSHBUTTON},
                  {"Abbrechen", CancelButton(), 144, 112, 75, 25, 0, 0, 0xF, BS_PUSHBUTTON}});
    EXPECT_FALSE(IsWindowEnabled(OkButton()));
    EXPECT_EQ(GetFocus(), Edit());
}

// ---- password prompt

TEST_F(Prompts, PasswordPromptLayoutAndTexts) {
    TImpApiPwDlg dlg;
    dlg.PortalName = "tolva";
    dlg.UserLogin = "abc";
    ModalScript script({WaitFor(PwCaption), Do([] {
                            ExpectPromptFrame();
                            HWND label1 = FindChild(g_form, "Label",
                                                    "Bitte geben Sie das Zugangs-Password zur Benutzerkennung");
                            HWND info = FindChild(g_form, "Label", "<abc> f\xFCr die tolva-Depotschnittstelle ein: ");
                            HWND edit = Edit();
                            // The labels size themselves to their texts.
                            const SIZE text = TextExtent(label1, WindowText(label1));
                            ExpectLayout({{"label 1", label1, 16, 16, text.cx, text.cy, -11},
                                          {"info", info, 16, 32, TextExtent(info, WindowText(info)).cx, Any},
                                          {"edit", edit, 16, 56, 201, 21, 0, 0, ES_PASSWORD, ES_PASSWORD}});
                            EXPECT_EQ(SendMessageA(edit, EM_GETPASSWORDCHAR, 0, 0), '*');
                            EXPECT_EQ(WindowText(edit), "");
                        }),
                        Do([] { PostClick(CancelButton()); })});
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(*dlg.Password, "");
    EXPECT_FALSE(IsWindowVisible(dlg.Handle()));
}

TEST_F(Prompts, PasswordOkFollowsTheFieldAndOnlyTheButtonsEndThePrompt) {
    TImpApiPwDlg dlg;
    dlg.PortalName = "tolva";
    dlg.UserLogin = "";
    ModalScript script({WaitFor(PwCaption),
                        Do([] {
                            EXPECT_TRUE(FindChild(g_form, "Label", "<> f\xFCr die tolva-Depotschnittstelle ein: "));
                            PostKey(Edit(), VK_RETURN); // disabled default button: nothing
                            PostKey(Edit(), VK_ESCAPE); // no cancel binding: nothing
                            PostClick(OkButton());      // disabled: nothing
                        }),
                        Do([] {
                            EXPECT_TRUE(IsWindowVisible(g_form));
                            PostChars(Edit(), "x");
                        }),
                        Do([] {
                            EXPECT_TRUE(IsWindowEnabled(OkButton()));
                            PostKey(Edit(), VK_BACK);
                        }),
                        Do([] {
                            EXPECT_EQ(WindowText(Edit()), "");
                            EXPECT_FALSE(IsWindowEnabled(OkButton()));
                            PostKey(Edit(), VK_RETURN);
                        }),
                        Do([] {
                            EXPECT_TRUE(IsWindowVisible(g_form));
                            PostClick(CancelButton());
                        })});
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(*dlg.Password, "");
}

TEST_F(Prompts, PasswordReturnedExactlyAsTypedWithItsBlanks) {
    for (const char *typed : {"  ge heim ", "   "}) {
        TImpApiPwDlg dlg;
        dlg.PortalName = "tolva";
        dlg.UserLogin = "abc";
        ModalScript script({WaitFor(PwCaption), Do([typed] { PostChars(Edit(), typed); }),
                            Do([] {
                                EXPECT_TRUE(IsWindowEnabled(OkButton()));
                                PostKey(Edit(), VK_RETURN);
                            })});
        EXPECT_TRUE(dlg.Execute());
        EXPECT_EQ(*dlg.Password, typed);
    }
}

TEST_F(Prompts, ClosingThePromptCountsAsCancel) {
    TImpApiPwDlg dlg;
    ModalScript script({WaitFor(" Zugangsberechtigung"), Do([] { PostChars(Edit(), "pw"); }),
                        Do([] { PostMessageA(g_form, WM_CLOSE, 0, 0); })});
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(*dlg.Password, "");
}

HWND g_wipedEdit;
WNDPROC g_editProc;
std::vector<std::string> g_editTexts;
LRESULT CALLBACK RecordSetText(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SETTEXT)
        g_editTexts.emplace_back(reinterpret_cast<const char *>(lp));
    return CallWindowProcA(g_editProc, w, m, wp, lp);
}

TEST_F(Prompts, PasswordIsWipedWhenThePromptIsDestroyed) {
    alignas(TImpApiPwDlg) unsigned char storage[sizeof(TImpApiPwDlg)];
    auto *dlg = new (storage) TImpApiPwDlg;
    dlg->PortalName = "tolva";
    dlg->UserLogin = "abc";
    std::string callersCopy;
    {
        ModalScript script({WaitFor(PwCaption), Do([] { PostChars(Edit(), "Ge7heim"); }),
                            Do([] { PostClick(OkButton()); })});
        ASSERT_TRUE(dlg->Execute());
    }
    callersCopy = *dlg->Password;
    g_wipedEdit = dlg->ePasswort->Handle();
    g_editTexts.clear();
    g_editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_wipedEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordSetText)));
    dlg->~TImpApiPwDlg();

    EXPECT_EQ(callersCopy, "Ge7heim");
    ASSERT_GE(g_editTexts.size(), 2u);
    EXPECT_EQ(g_editTexts[0], "*******"); // overwritten in place, then emptied
    EXPECT_EQ(g_editTexts[1], "");
    EXPECT_FALSE(IsWindow(g_wipedEdit));
    const char needle[] = "Ge7heim";
    EXPECT_EQ(std::search(storage, storage + sizeof storage, needle, needle + 7), storage + sizeof storage)
        << "the dialog's own copy of the password survived";
}

// ---- depot number prompt

TEST_F(Prompts, DepotNumberPromptLayoutAndTexts) {
    TImpApi_DepotNr_Dlg dlg;
    dlg.DepotNumber = "";
    ModalScript script(
        {WaitFor(DpCaption), Do([] {
             ExpectPromptFrame();
             HWND label = FindChild(g_form, "Label", "Bitte geben Sie die tolva-Depotnummer f\xFCr den Datenabruf ein:");
             HWND edit = Edit();
             // The label has a fixed size and wraps its words.
             ExpectLayout({{"label", label, 16, 16, 249, 33, -13, 0, SS_TYPEMASK, SS_LEFT},
                           {"edit", edit, 16, 56, 201, 24, -13, 0, ES_PASSWORD, 0}});
             EXPECT_EQ(WindowText(edit), "");
             PostKey(edit, VK_RETURN);
             PostKey(edit, VK_ESCAPE);
         }),
         Do([] {
             EXPECT_TRUE(IsWindowVisible(g_form));
             PostClick(CancelButton());
         })});
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(dlg.DepotNumber, "");
}

TEST_F(Prompts, DepotNumberPrefillEnablesOkAndComesBackTrimmed) {
    TImpApi_DepotNr_Dlg dlg;
    dlg.DepotNumber = "\t\x01 12 34\x1F ";
    ModalScript script({WaitFor(DpCaption), Do([] {
                            EXPECT_TRUE(IsWindowEnabled(OkButton()));
                            PostKey(Edit(), VK_RETURN);
                        })});
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(dlg.DepotNumber, "12 34");
}

// Blanks alone enable OK (the raw text counts) and come back as nothing.
TEST_F(Prompts, DepotNumberTypedComesBackTrimmed) {
    const struct {
        const char *typed, *expected;
    } cases[] = {{"   ", ""}, {" 4711 0815 ", "4711 0815"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        TImpApi_DepotNr_Dlg dlg;
        ModalScript script({WaitFor(DpCaption), Do([&c] { PostChars(Edit(), c.typed); }),
                            Do([] {
                                EXPECT_TRUE(IsWindowEnabled(OkButton()));
                                PostClick(OkButton());
                            })});
        EXPECT_TRUE(dlg.Execute());
        EXPECT_EQ(dlg.DepotNumber, c.expected);
    }
}

TEST_F(Prompts, DepotNumberCancelKeepsThePrefill) {
    TImpApi_DepotNr_Dlg dlg;
    dlg.DepotNumber = "99";
    ModalScript script({WaitFor(DpCaption), Do([] { PostChars(Edit(), "1"); }),
                        Do([] { PostClick(CancelButton()); })});
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(dlg.DepotNumber, "99");
}


} // namespace
