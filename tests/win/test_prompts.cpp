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

// The two prompts by their form's and their field's component names.
struct Prompt {
    const char *form, *edit;
};
constexpr Prompt Pw{"ImpApiPwDlg", "ePasswort"}, Dp{"ImpApi_DpNr_Dlg", "eDepotNr"};

class Prompts : public ::testing::Test {
protected:
    void SetUp() override { InitFrameworkForTests(); }
};

// Steps that need the prompt's window: they wait until it is shown.
HWND g_form;
const char *g_edit;
ModalScript::Step WaitFor(Prompt prompt) {
    return [prompt] {
        g_form = FindNamedForm(prompt.form);
        g_edit = prompt.edit;
        return g_form && IsWindowVisible(g_form);
    };
}
HWND Named(const char *name) { return FindNamed(g_form, name); }
HWND Edit() { return Named(g_edit); }
HWND OkButton() { return Named("btnOk"); }
HWND CancelButton() { return Named("btnCancel"); }

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
    ExpectLayout(g_form, {{"btnOk", "Ok", 232, 112, 75, 25, -11, 0, 0xF, BS_DEFPUSHBUTTON},
                          {"btnCancel", "Abbrechen", 144, 112, 75, 25, 0, 0, 0xF, BS_PUSHBUTTON}});
    EXPECT_FALSE(IsWindowEnabled(OkButton()));
    EXPECT_EQ(GetFocus(), Edit());
}

// ---- password prompt

TEST_F(Prompts, PasswordPromptLayoutAndTexts) {
    TImpApiPwDlg dlg;
    dlg.PortalName = "tolva";
    dlg.UserLogin = "abc";
    ModalScript script({WaitFor(Pw), Do([] {
                            ExpectPromptFrame();
                            EXPECT_EQ(WindowText(g_form), "tolva Zugangsberechtigung");
                            // The labels size themselves to their texts.
                            const SIZE text = TextExtent(Named("Label1"), WindowText(Named("Label1")));
                            const SIZE info = TextExtent(Named("lbInfotext"), WindowText(Named("lbInfotext")));
                            ExpectLayout(g_form, {{"Label1", "Bitte geben Sie das Zugangs-Password zur Benutzerkennung",
                                                   16, 16, text.cx, text.cy, -11},
                                                  {"lbInfotext", "<abc> f\xFCr die tolva-Depotschnittstelle ein: ", 16,
                                                   32, info.cx, Any},
                                                  {"ePasswort", "", 16, 56, 201, 21, 0, 0, ES_PASSWORD, ES_PASSWORD}});
                            EXPECT_EQ(SendMessageA(Edit(), EM_GETPASSWORDCHAR, 0, 0), '*');
                            ExpectLabelBefore(g_form, "ePasswort", "Label1");
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
    ModalScript script({WaitFor(Pw),
                        Do([] {
                            EXPECT_EQ(WindowText(Named("lbInfotext")), "<> f\xFCr die tolva-Depotschnittstelle ein: ");
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
        ModalScript script({WaitFor(Pw), Do([typed] { PostChars(Edit(), typed); }),
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
    ModalScript script({WaitFor(Pw), Do([] { PostChars(Edit(), "pw"); }),
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
        ModalScript script({WaitFor(Pw), Do([] { PostChars(Edit(), "Ge7heim"); }),
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
        {WaitFor(Dp), Do([] {
             ExpectPromptFrame();
             EXPECT_EQ(WindowText(g_form), "Depotnummer-Abfrage");
             // The label has a fixed size and wraps its words.
             ExpectLayout(g_form, {{"Label1", "Bitte geben Sie die tolva-Depotnummer f\xFCr den Datenabruf ein:", 16, 16,
                                    249, 33, -13, 0, SS_TYPEMASK, SS_LEFT},
                                   {"eDepotNr", "", 16, 56, 201, 24, -13, 0, ES_PASSWORD, 0}});
             ExpectLabelBefore(g_form, "eDepotNr", "Label1");
             HWND edit = Edit();
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

// The prefill and what is typed after it, then a button or (none) Enter; blanks
// alone enable OK (the raw text counts) and come back as nothing; Cancel keeps
// the prefill.
TEST_F(Prompts, DepotNumberComesBackTrimmedAfterOkAndAsItWasAfterCancel) {
    const struct {
        const char *prefill, *typed, *end;
        bool ok;
        const char *expected;
    } cases[] = {{"\t\x01 12 34\x1F ", "", nullptr, true, "12 34"},
                 {"", "   ", "btnOk", true, ""},
                 {"", " 4711 0815 ", "btnOk", true, "4711 0815"},
                 {"99", "1", "btnCancel", false, "99"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        TImpApi_DepotNr_Dlg dlg;
        dlg.DepotNumber = c.prefill;
        ModalScript script({WaitFor(Dp), Do([&c] { PostChars(Edit(), c.typed); }),
                            Do([&c] {
                                EXPECT_TRUE(IsWindowEnabled(OkButton()));
                                if (c.end)
                                    PostClick(Named(c.end));
                                else
                                    PostKey(Edit(), VK_RETURN);
                            })});
        EXPECT_EQ(dlg.Execute(), c.ok);
        EXPECT_EQ(dlg.DepotNumber, c.expected);
    }
}

} // namespace
