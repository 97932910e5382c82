// The window framework on real windows: the error message box for exceptions
// from handlers, keyboard handling of forms, focus enter and exit, the modal
// loop, release through the queue, and the window classes' lifetime.
#include <gtest/gtest.h>

#include <stdexcept>

#include "UiTestSupport.h"
#include "framework/Framework.h"
#include "framework/StdCtrls.h"

namespace {

class TTestForm : public TForm {
public:
    explicit TTestForm(bool *Destroyed = nullptr);
    ~TTestForm() override {
        if (destroyed_)
            *destroyed_ = true;
    }
    TEdit *Edit1 = nullptr, *Edit2 = nullptr;
    TButton *btnThrow = nullptr, *btnOk = nullptr, *btnCancel = nullptr, *btnOther = nullptr;
    TTimer *Timer1 = nullptr;
    std::vector<std::string> Log;
    std::string ThrowText = "Kaputt";

    bool ThrowAnything = false;
    void btnThrowClick(TComponent *) {
        if (ThrowAnything)
            throw 42;
        throw Framework::Exception(ThrowText);
    }
    void Timer1Timer(TComponent *) {
        Timer1->SetEnabled(false);
        throw std::runtime_error(ThrowText);
    }

private:
    bool *destroyed_;
};

using T = TTestForm;
constexpr TControlDef TestControls[] = {
    {.Create = Field<&T::Edit1>, .Name = "Edit1", .Left = 8, .Top = 8, .Width = 100, .Height = 21, .TabOrder = 0},
    {.Create = Field<&T::Edit2>, .Name = "Edit2", .Left = 8, .Top = 40, .Width = 100, .Height = 21, .TabOrder = 1},
    {.Create = Field<&T::btnThrow>, .Name = "btnThrow", .Left = 8, .Top = 72, .Width = 75, .Height = 25,
     .Caption = "Wirf", .TabOrder = 2, .OnEvent = Handler<&T::btnThrowClick>},
    {.Create = Field<&T::btnOk>, .Name = "btnOk", .Left = 8, .Top = 104, .Width = 75, .Height = 25,
     .Caption = "OK", .TabOrder = 3, .Default = true, .ModalResult = mrOk},
    {.Create = Field<&T::btnCancel>, .Name = "btnCancel", .Left = 88, .Top = 104, .Width = 75, .Height = 25,
     .Caption = "Abbruch", .TabOrder = 4, .Cancel = true, .ModalResult = mrCancel},
    {.Create = Field<&T::btnOther>, .Name = "btnOther", .Left = 168, .Top = 104, .Width = 75, .Height = 25,
     .Caption = "Anders", .TabOrder = 5, .ModalResult = 7},
    {.Create = Field<&T::Timer1>, .Name = "Timer1", .Enabled = false, .Interval = 20,
     .OnEvent = Handler<&T::Timer1Timer>},
};
constexpr TFormDef TestLayout = {.Name = "TestForm", .Caption = "Rahmenwerk", .ClientWidth = 260,
                                 .ClientHeight = 140, .Controls = TestControls};

TTestForm::TTestForm(bool *Destroyed) : destroyed_(Destroyed) {
    LoadLayout(TestLayout);
    for (TWinControl *c : std::initializer_list<TWinControl *>{Edit1, Edit2, btnThrow, btnOk, btnCancel, btnOther}) {
        c->OnEnter = [this](TComponent *s) { Log.push_back("enter " + s->Name); };
        c->OnExit = [this](TComponent *s) { Log.push_back("exit " + s->Name); };
    }
}

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override { InitFrameworkForTests(); }
};

using Log = std::vector<std::string>;

TEST(FullStop, AppendedWhenTheLastByteSortsAfterThePoint) {
    EXPECT_EQ(Framework::WithFullStop("Kaputt"), "Kaputt.");
    EXPECT_EQ(Framework::WithFullStop("Fertig."), "Fertig.");
    EXPECT_EQ(Framework::WithFullStop("Achtung!"), "Achtung!"); // '!' sorts before '.'
    EXPECT_EQ(Framework::WithFullStop("Wert -"), "Wert -");
    EXPECT_EQ(Framework::WithFullStop("Warum?"), "Warum?.");
    EXPECT_EQ(Framework::WithFullStop("Nummer 7"), "Nummer 7.");
    EXPECT_EQ(Framework::WithFullStop("Gr\xF6\xDF" "e \xE4"), "Gr\xF6\xDF" "e \xE4."); // bytes above 127
    EXPECT_EQ(Framework::WithFullStop(""), "");
}

// Waits for the error box, checks its text and title, and confirms it.
ModalScript::Step ConfirmErrorBox(std::string expected) {
    return [expected] {
        HWND box = FindMessageBox();
        if (!box)
            return false;
        EXPECT_EQ(MessageBoxText(box), expected);
        EXPECT_EQ(WindowText(box), "win_framework");
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return true;
    };
}
ModalScript::Step BoxGone() {
    return [] { return FindMessageBox() == nullptr; };
}

TEST_F(FrameworkTest, ExceptionFromAHandlerShowsTheErrorBoxAndTheLoopGoesOn) {
    TTestForm form;
    ModalScript script({Do([&] { PostClick(form.btnThrow->Handle()); }), ConfirmErrorBox("Kaputt."), BoxGone(),
                        Do([&] {
                            form.ThrowText = "Fertig.";
                            PostClick(form.btnThrow->Handle());
                        }),
                        ConfirmErrorBox("Fertig."), BoxGone(),
                        Do([&] {
                            form.ThrowText = ""; // an empty text stays empty
                            PostClick(form.btnThrow->Handle());
                        }),
                        ConfirmErrorBox(""), BoxGone(),
                        Do([&] {
                            form.ThrowText = "Uhr \xE4";
                            form.Timer1->SetEnabled(true);
                        }),
                        ConfirmErrorBox("Uhr \xE4."), BoxGone(),
                        Do([&] {
                            // Enter on the focused button: thrown while the loop
                            // looks at the key, before any window procedure.
                            form.ThrowText = "Taste";
                            form.btnThrow->SetFocus();
                            PostKey(form.btnThrow->Handle(), VK_RETURN);
                        }),
                        ConfirmErrorBox("Taste."), BoxGone(), Do([&] { form.Edit1->SetFocus(); }),
                        Do([&] { PostKey(form.Edit1->Handle(), VK_RETURN); })});
    EXPECT_EQ(form.ShowModal(), mrOk);
}

TEST_F(FrameworkTest, ExceptionsWithoutMessageAndFromOnCloseAreShownToo) {
    TTestForm form;
    form.ThrowAnything = true;
    int closes = 0;
    form.OnClose = [&](TComponent *, TCloseAction &) {
        if (++closes == 1)
            throw Framework::Exception("Nicht jetzt");
    };
    ModalScript script({Do([&] { PostClick(form.btnThrow->Handle()); }), ConfirmErrorBox("Unbekannter Fehler."),
                        BoxGone(), Do([&] { PostClick(form.btnOk->Handle()); }), ConfirmErrorBox("Nicht jetzt."),
                        BoxGone(), Do([&] {
                            EXPECT_TRUE(IsWindowVisible(form.Handle())); // the close was refused
                            PostClick(form.btnOk->Handle());
                        })});
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(closes, 2);
}

TEST_F(FrameworkTest, EscapeClicksTheCancelButton) {
    TTestForm form;
    ModalScript script({Do([&] { PostKey(form.Edit1->Handle(), VK_ESCAPE); })});
    EXPECT_EQ(form.ShowModal(), mrCancel);
}

TEST_F(FrameworkTest, EnterClicksTheFocusedButtonWhichShowsTheDefaultFrame) {
    TTestForm form;
    ModalScript script({Do([&] {
                            EXPECT_EQ(Style(form.btnOk->Handle()) & 0xF, BS_DEFPUSHBUTTON);
                            form.btnOther->SetFocus();
                        }),
                        Do([&] {
                            EXPECT_EQ(Style(form.btnOther->Handle()) & 0xF, BS_DEFPUSHBUTTON);
                            EXPECT_EQ(Style(form.btnOk->Handle()) & 0xF, BS_PUSHBUTTON);
                            PostKey(form.btnOther->Handle(), VK_RETURN);
                        })});
    EXPECT_EQ(form.ShowModal(), 7);
}

TEST_F(FrameworkTest, FocusEnterAndExitAreMovesOfTheActiveControl) {
    TTestForm form;
    form.Show();
    PumpIdle();
    EXPECT_EQ(form.Log, (Log{"enter Edit1"}));
    PostKey(form.Edit1->Handle(), VK_TAB);
    PumpIdle();
    EXPECT_EQ(form.Log, (Log{"enter Edit1", "exit Edit1", "enter Edit2"}));
    EXPECT_EQ(form.ActiveControl(), form.Edit2);

    // Another window takes the activation and gives it back: no enter, no exit.
    HWND other = CreateWindowExA(0, "EDIT", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(other);
    SetFocus(other);
    PumpIdle();
    EXPECT_NE(GetFocus(), form.Edit2->Handle());
    SetActiveWindow(form.Handle());
    PumpIdle();
    EXPECT_EQ(GetFocus(), form.Edit2->Handle());
    EXPECT_EQ(form.Log.size(), 3u);
    DestroyWindow(other);

    form.btnOther->SetFocus();
    PostKey(form.btnOther->Handle(), VK_TAB); // the last one wraps to the first
    PumpIdle();
    EXPECT_EQ(form.Log, (Log{"enter Edit1", "exit Edit1", "enter Edit2", "exit Edit2", "enter btnOther",
                             "exit btnOther", "enter Edit1"}));
}

TEST_F(FrameworkTest, ModalLoopDisablesTheThreadsWindowsAndRestoresTheCursor) {
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
    Framework::SetScreenCursor(IDC_WAIT);
    TTestForm form;
    ModalScript script({Do([&] {
        EXPECT_FALSE(IsWindowEnabled(other));
        EXPECT_EQ(Framework::ScreenCursor(), IDC_ARROW);
        EXPECT_THROW(form.ShowModal(), Framework::Exception); // already showing
        PostClick(form.btnCancel->Handle());
    })});
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_TRUE(IsWindowEnabled(other));
    EXPECT_EQ(Framework::ScreenCursor(), IDC_WAIT);
    EXPECT_FALSE(IsWindowVisible(form.Handle()));
    Framework::SetScreenCursor(IDC_ARROW);
    DestroyWindow(other);
}

TEST_F(FrameworkTest, CloseActionNoneKeepsTheModalLoopRunning) {
    TTestForm form;
    int closes = 0;
    form.OnClose = [&](TComponent *, TCloseAction &action) {
        if (++closes == 1)
            action = caNone;
    };
    ModalScript script({Do([&] { PostClick(form.btnOk->Handle()); }),
                        Do([&] {
                            EXPECT_TRUE(IsWindowVisible(form.Handle()));
                            EXPECT_EQ(form.ModalResult(), mrNone);
                            PostMessageA(form.Handle(), WM_CLOSE, 0, 0);
                        })});
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(closes, 2);
}

TEST_F(FrameworkTest, ReleaseDestroysTheFormThroughTheQueue) {
    bool destroyed = false;
    auto *form = new TTestForm(&destroyed);
    form->Show();
    HWND w = form->Handle();
    form->Release();
    EXPECT_FALSE(destroyed);
    PumpIdle();
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(IsWindow(w));
}

struct TBadForm : TForm {
    TEdit *Edit1 = nullptr;
    TBadForm();
};
constexpr TControlDef BadControls[] = {
    {.Create = Field<&TBadForm::Edit1>, .Name = "Edit1", .Parent = "Panel9"},
};
TBadForm::TBadForm() { LoadLayout({.Name = "Bad", .Caption = "", .ClientWidth = 10, .ClientHeight = 10, .Controls = BadControls}); }

TEST_F(FrameworkTest, LayoutWithAnUnknownParentFails) { EXPECT_THROW(TBadForm(), Framework::Exception); }

TEST_F(FrameworkTest, ProgrammaticTextOfAnEditWithoutWindowIsAChange) {
    TTestForm form;
    int changes = 0;
    form.Edit1->OnChange = [&](TComponent *) { ++changes; };
    form.Edit1->SetText("a");
    EXPECT_EQ(changes, 1);
    form.HandleNeeded();
    EXPECT_EQ(WindowText(form.Edit1->Handle()), "a");
    form.Edit1->SetText("b"); // now through the window's EN_CHANGE: once
    EXPECT_EQ(changes, 2);
    form.Edit1->RecreateWnd();
    EXPECT_EQ(WindowText(form.Edit1->Handle()), "b");
}

// Last: the classes go with Finalize, and come back on next use.
TEST_F(FrameworkTest, FinalizeUnregistersTheWindowClasses) {
    {
        TTestForm form;
        form.HandleNeeded();
    }
    HINSTANCE instance = Framework::Instance();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    EXPECT_TRUE(GetClassInfoExA(instance, "ImpApi_tolva.Form", &wc));
    EXPECT_TRUE(GetClassInfoExA(instance, "ImpApi_tolva.Edit", &wc));
    Framework::Finalize();
    EXPECT_FALSE(GetClassInfoExA(instance, "ImpApi_tolva.Form", &wc));
    EXPECT_FALSE(GetClassInfoExA(instance, "ImpApi_tolva.Edit", &wc));
    EXPECT_FALSE(GetClassInfoExA(instance, "ImpApi_tolva.Button", &wc));
    InitFrameworkForTests();
    TTestForm again;
    EXPECT_TRUE(again.Handle());
}

} // namespace
