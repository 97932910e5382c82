// The text edit: bounds compared as texts, the composed messages, the default
// for an emptied field, reading Value while editing, 255-character cuts,
// formats; the history list's calls; a text edit from a layout table.
#include <gtest/gtest.h>

#include "EditTestSupport.h"
#include "framework/StdCtrls.h"

namespace {

class EditText : public EditFormTest {
protected:
    void SetUp() override {
        EditFormTest::SetUp();
        Show();
    }
    // Focuses the first field and replaces what it shows by Text.
    void Enter(const std::string &text) {
        a->SetFocus();
        PumpIdle();
        SendMessageA(a->Handle(), EM_SETSEL, 0, -1);
        Type(text);
    }
    // "passed" or the message of the check's exception; the error state is
    // cleared for the next case.
    std::string Check() {
        std::string result = "passed";
        try {
            a->Value();
        } catch (const EUserEditError &e) {
            result = e.Message;
        }
        a->ResetCheckError();
        return result;
    }
};

TEST_F(EditText, BoundsAreComparedAsTextsIgnoringCaseAndEqualIsInside) {
    struct Case {
        const char *min, *max, *typed, *expected;
    };
    const Case cases[] = {
        {"10", "", "9", "passed"}, // "9" sorts after "10"
        {"", "10", "9", "Das Maximum f\xFC" "r die Eingabe betr\xE4gt 10"},
        {"b", "", "B", "passed"},
        {"", "b", "B", "passed"},
        {"5", "", "5", "passed"},
        {"5", "", "40", "Das Minimum f\xFC" "r die Eingabe betr\xE4gt 5"},
        {"5", "8", "3", "G\xFCltige Eingaben liegen im Bereich von 5 bis 8"},
        {"5", "8", "9", "G\xFCltige Eingaben liegen im Bereich von 5 bis 8"},
        {"5", "8", "7", "passed"},
    };
    for (const Case &c : cases) {
        a->SetValueMin(c.min);
        a->SetValueMax(c.max);
        Enter(c.typed);
        EXPECT_EQ(Check(), c.expected) << c.min << ".." << c.max << " " << c.typed;
    }
}

TEST_F(EditText, MaxCheckWithAnEmptyMaximumFailsEveryTextAndNamesNothing) {
    a->SetCheckMode({ucmMaxCheck});
    Enter("abc");
    EXPECT_EQ(Check(), "Das Maximum f\xFC" "r die Eingabe betr\xE4gt ");
    EXPECT_EQ(a->CheckResult(), ucrMaxFailed);
}

TEST_F(EditText, ErrorCarriesTheHelpContextAndTheHandlerMayRewriteIt) {
    a->SetValueMin("5");
    a->HelpContext = 77;
    Enter("1");
    try {
        a->Value();
        ADD_FAILURE() << "no exception";
    } catch (const EUserEditError &e) {
        EXPECT_EQ(e.HelpContext, 77);
    }
    a->OnValidationError = [](TComponent *, TUserCheckResults, std::string &text, int &help, bool &) {
        text = std::string(300, 'e');
        help = 5;
    };
    try {
        a->Value();
        ADD_FAILURE() << "no exception";
    } catch (const EUserEditError &e) {
        EXPECT_EQ(e.HelpContext, 5);
        EXPECT_EQ(e.Message, std::string(255, 'e'));
    }
}

TEST_F(EditText, ReadingValueWhileEditingTakesTheTextOverOrKeepsTheOldOne) {
    a->SetValue("old");
    Enter("new");
    EXPECT_EQ(a->Value(), "new");
    Enter("newer");
    bool allow = false;
    a->OnModifying = [&](TComponent *, bool &can) { can = allow; };
    EXPECT_EQ(a->Value(), "new"); // vetoed
    a->SetValueMin("x");
    a->OnValidationError = [](TComponent *, TUserCheckResults, std::string &, int &, bool &handled) {
        handled = true;
    };
    EXPECT_EQ(a->Value(), "new"); // failed, handled
    a->SetValueMin("");
    allow = true;
    EXPECT_EQ(a->Value(), "newer");
    // Not editing: reading checks nothing.
    b->SetFocus();
    PumpIdle();
    a->SetValueMin("z");
    EXPECT_EQ(a->Value(), "newer");
}

TEST_F(EditText, AnEmptiedFieldGetsTheDefaultWhenCheckedButNotInsideOnChange) {
    a->SetValue("x");
    a->SetValueDef("def");
    std::vector<std::string> seen;
    a->OnChange = [&](TComponent *) {
        if (a->EditState().Contains(uesEditing))
            seen.push_back(a->Value() + "|" + a->Text());
    };
    a->SetFocus();
    PumpIdle();
    SendMessageA(a->Handle(), EM_SETSEL, 0, -1);
    Key(VK_BACK);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), "|"); // the check inside OnChange left the field empty
    a->OnChange = nullptr;
    SendMessageA(a->Handle(), EM_SETMODIFY, TRUE, 0);
    Key(VK_TAB);
    EXPECT_EQ(a->Text(), "def");
    EXPECT_EQ(a->Value(), "def");
}

TEST_F(EditText, LongTextsAreCutTo255WhenRead) {
    const std::string longText(300, 'a');
    a->SetValue(longText);
    EXPECT_EQ(a->Value(), std::string(255, 'a'));
    EXPECT_EQ(a->Text(), std::string(255, 'a'));
    a->SetValueMin(longText);
    EXPECT_EQ(a->ValueMin().size(), 255u);
    Enter(std::string(300, 'b'));
    Key(VK_TAB);
    EXPECT_EQ(a->Value(), std::string(255, 'b'));
}

TEST_F(EditText, FormatsShowTheValueAndAnEditedTextIsTakenAsShown) {
    a->SetFormatEdit("%-5s|");
    a->SetFormatView("%8.2s");
    a->SetValue("abc");
    EXPECT_EQ(a->Text(), "      ab");
    a->SetFocus();
    PumpIdle();
    EXPECT_EQ(a->Text(), "abc  |");
    Key(VK_END);
    Type("x");
    Key(VK_TAB);
    EXPECT_EQ(a->Value(), "abc  |x");
    EXPECT_EQ(a->FormatView(), "%8.2s");
    a->SetFormatView("");
    EXPECT_EQ(a->FormatView(), "%-5s|"); // reads as the edit format
}

TEST_F(EditText, AFormatThatCannotTakeATextRaises) {
    a->SetFormatView("%d");
    EXPECT_THROW(a->SetValue("1"), Framework::Exception);
}

TEST_F(EditText, WritingValueWhileEditingReplacesTheTypedText) {
    a->SetFormatEdit("[%s]");
    a->SetValue("v");
    Enter("typed");
    a->SetValue("new");
    EXPECT_EQ(a->Text(), "[new]");
    EXPECT_EQ(Selection(a->Handle()), std::make_pair(0, 5));
    EXPECT_FALSE(a->TextModified());
}

TEST_F(EditText, BoundsSwitchTheirChecksOnlyWhenTheirTextChanges) {
    a->SetValueMin("b");
    EXPECT_TRUE(a->CheckMode().Contains(ucmMinCheck));
    a->SetCheckMode({ucmMandatory});
    a->SetValueMin("b"); // same text: the check stays out
    EXPECT_EQ(a->CheckMode(), TUserCheckMode({ucmMandatory}));
    a->SetValueMin("B"); // letter case counts here
    EXPECT_TRUE(a->CheckMode().Contains(ucmMinCheck));
    a->SetValueMin("");
    EXPECT_FALSE(a->CheckMode().Contains(ucmMinCheck));
    a->SetValueMax("m");
    EXPECT_EQ(a->CheckMode(), TUserCheckMode({ucmMandatory, ucmMaxCheck}));
    a->SetValueDef("d");
    EXPECT_EQ(a->ValueDef(), "d");
    EXPECT_EQ(a->GetValueText(9), "");
}

// ---- history list

struct RecordingList : TCustomEditHistoryList {
    explicit RecordingList(TComponent *Owner, std::vector<std::string> &Log)
        : TCustomEditHistoryList(Owner), log(Log) {}
    void SetEdit(TCustomUserEdit *e) override { log.push_back(e ? "SetEdit " + e->Name : "SetEdit none"); }
    void EditBoundsChanged(int l, int t, int w, int h) override {
        log.push_back("Bounds " + std::to_string(l) + "," + std::to_string(t) + "," + std::to_string(w) + "," +
                      std::to_string(h));
    }
    void EditCommitted() override { log.push_back("Committed"); }
    void EditEntered() override { log.push_back("Entered"); }
    void EditExited() override { log.push_back("Exited"); }
    void EditKeyDown(WORD &k, TShiftState) override { log.push_back("KeyDown " + std::to_string(k)); }
    void EditKeyUp(WORD &k, TShiftState) override { log.push_back("KeyUp " + std::to_string(k)); }
    std::vector<std::string> &log;
};

TEST_F(EditText, HistoryListHearsFocusBoundsAndKeysInOrder) {
    std::vector<std::string> log;
    auto *list = new RecordingList(form.get(), log);
    a->OnEnter = [&](TComponent *) { log.push_back("OnEnter"); };
    a->OnExit = [&](TComponent *) { log.push_back("OnExit"); };
    a->OnKeyDown = [&](TComponent *, WORD &, TShiftState) { log.push_back("OnKeyDown"); };
    a->OnKeyUp = [&](TComponent *, WORD &, TShiftState) { log.push_back("OnKeyUp"); };
    b->SetFocus();
    PumpIdle();
    a->SetHistoryList(list);
    a->SetBounds(10, 8, 120, 21);
    a->SetFocus();
    PumpIdle();
    PostKey(a->Handle(), 'A');
    PumpIdle();
    list->Active = true;
    PostKey(a->Handle(), 'B');
    PumpIdle();
    b->SetFocus(); // modified: checked and accepted
    PumpIdle();
    a->SetFocus();
    PumpIdle();
    b->SetFocus(); // unmodified
    PumpIdle();
    const std::vector<std::string> expected = {
        "SetEdit eFirst", "Bounds 10,8,120,21",                                         //
        "SetEdit eFirst", "Entered",           "OnEnter",                               //
        "KeyDown 65",     "OnKeyDown",         "OnKeyUp",                               //
        "KeyDown 66",     "OnKeyDown",         "OnKeyUp",        "KeyUp 66",            //
        "Committed",      "Exited",            "OnExit",                                //
        "SetEdit eFirst", "Entered",           "OnEnter",        "Exited", "OnExit"};
    EXPECT_EQ(log, expected);

    log.clear();
    std::vector<std::string> log2;
    auto *other = new RecordingList(form.get(), log2);
    a->SetHistoryList(other);
    EXPECT_EQ(log, std::vector<std::string>{"SetEdit none"});
    EXPECT_EQ(log2, std::vector<std::string>{"SetEdit eFirst"});

    // A list that goes detaches itself: the edit no longer calls it.
    delete other;
    EXPECT_EQ(a->HistoryList(), nullptr);
    a->SetFocus();
    PumpIdle();
    PostKey(a->Handle(), 'C');
    PumpIdle();
    a->SetBounds(12, 8, 120, 21);
    b->SetFocus();
    PumpIdle();

    // An edit that goes tells its list.
    log.clear();
    auto *third = TCustomUserEdit::Create<TEditText>(form.get());
    third->Name = "eThird";
    third->SetHistoryList(list);
    delete third;
    EXPECT_EQ(log, (std::vector<std::string>{"SetEdit eThird", "SetEdit none"}));
}

// ---- from a layout table

struct StoredForm : TForm {
    StoredForm();
    TEditText *eUser = nullptr;
    TEditText *ePassword = nullptr;
    TButton *btnOK = nullptr;
    int changes = 0;
    std::string user, password; // taken when closed with OK
    void eUserChange(TComponent *) { ++changes; }
    void FormClose(TComponent *, TCloseAction &) {
        if (ModalResult() == mrOk) {
            user = eUser->Value();
            password = ePassword->Value();
        }
    }
};
using S = StoredForm;
constexpr TControlDef StoredControls[] = {
    {.Create = Field<&S::eUser>, .Name = "eUser", .Left = 16, .Top = 48, .Width = 161, .Height = 15, .TabOrder = 0,
     .OnEvent = Handler<&S::eUserChange>,
     .More =
         [](TComponent &c) {
             auto &e = static_cast<TEditText &>(c);
             e.SetCheckMode({ucmMaxCheck});
             e.SetErrPrompt("EditText1");
             e.SetBorderStyle(bsNone);
             e.SetValue("start");
             e.SetValueMin("10");
         }},
    {.Create = Field<&S::ePassword>, .Name = "ePassword", .Left = 16, .Top = 88, .Width = 161, .Height = 15,
     .TabOrder = 1, .PasswordChar = '*', .More = [](TComponent &c) {
         static_cast<TEditText &>(c).SetBorderStyle(bsNone);
     }},
    {.Create = Field<&S::btnOK>, .Name = "btnOK", .Left = 100, .Top = 110, .Width = 75, .Height = 25,
     .Caption = "OK", .TabOrder = 2, .Default = true, .ModalResult = mrOk},
};
constexpr TFormDef StoredLayout = {.Name = "StoredForm", .Caption = "Stored", .ClientWidth = 200,
                                   .ClientHeight = 140, .OnClose = Handler<&S::FormClose>,
                                   .Controls = StoredControls};
StoredForm::StoredForm() { LoadLayout(StoredLayout); }

TEST(EditTextFromLayout, PropertiesInStoredOrderThenLoaded) {
    InitFrameworkForTests();
    StoredForm f;
    EXPECT_EQ(f.eUser->CheckMode(), TUserCheckMode({ucmMaxCheck, ucmMinCheck})); // the later ValueMin wins
    EXPECT_EQ(f.eUser->ErrPrompt(), "EditText1");
    EXPECT_EQ(f.ePassword->ErrPrompt(), "ePassword"); // empty: the name
    EXPECT_EQ(f.eUser->Text(), "start");
    EXPECT_EQ(f.eUser->Height(), 15); // no border: the stored height stays
    EXPECT_EQ(f.ePassword->PasswordChar(), '*');
    const int before = f.changes;
    f.eUser->SetValue("other");
    EXPECT_EQ(f.changes, before + 1);
    EXPECT_EQ(f.eUser->BorderStyle(), bsNone);
    EXPECT_TRUE(Style(f.ePassword->Handle()) & ES_PASSWORD);
}

// As the access-data dialog uses them: values put in before showing, and
// after OK by Enter the values read back take over what is being typed.
TEST(EditTextFromLayout, ValuesAfterOkTakeOverTheTypedText) {
    InitFrameworkForTests();
    StoredForm f;
    f.eUser->SetValueMin(""); // no checks, as in the dialog
    f.eUser->SetCheckMode({});
    f.eUser->SetValue("user1");
    f.ePassword->SetValue("pw");
    ModalScript script({[&] { return f.HandleAllocated() && IsWindowVisible(f.Handle()); },
                        Do([&] {
                            EXPECT_EQ(GetFocus(), f.eUser->Handle());
                            EXPECT_EQ(Selection(f.eUser->Handle()), std::make_pair(0, 5));
                            PostChars(f.eUser->Handle(), "neu");
                        }),
                        Do([&] { PostKey(f.eUser->Handle(), VK_RETURN); })});
    EXPECT_EQ(f.ShowModal(), mrOk);
    EXPECT_EQ(f.user, "neu");
    EXPECT_EQ(f.password, "pw");
}

// A class that leaves a value operation abstract cannot be created at all,
// and no validated edit is made without Create.
struct NoNewValue : TEditText {
    using TEditText::TEditText;
    void NewValue(std::any &) override = 0;
};
template <class T>
concept Creatable = requires(TComponent *Owner) { TCustomUserEdit::Create<T>(Owner); };
static_assert(Creatable<TEditText>);
static_assert(!Creatable<NoNewValue>);
static_assert(!std::is_constructible_v<TEditText, TComponent *>);

} // namespace
