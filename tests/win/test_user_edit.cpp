// The validated edit's cycle as a user lives it, on a shown form: entering
// by Tab and by click, leaving with and without typing, failed checks on exit
// and on Enter with the error box, Escape, and the error colour.
#include <gtest/gtest.h>

#include "EditTestSupport.h"

namespace {

class UserEditCycle : public EditFormTest {
protected:
    void SetUp() override {
        EditFormTest::SetUp();
        a->OnEnter = [this](TComponent *) { ++enters; };
        a->OnExit = [this](TComponent *) { ++exits; };
        a->OnModifying = [this](TComponent *, bool &) { ++modifying; };
        a->OnModified = [this](TComponent *) { ++modified; };
    }
    void Show() {
        EditFormTest::Show();
        enters = exits = 0;
    }
    // Tab from the second field wraps round to the first.
    void Retype(const std::string &text) {
        SendMessageA(GetFocus(), EM_SETSEL, 0, -1);
        Type(text);
    }
    void TabIntoFirst() {
        ASSERT_EQ(GetFocus(), b->Handle());
        Key(VK_TAB);
        ASSERT_EQ(GetFocus(), a->Handle());
    }
    int enters = 0, exits = 0, modifying = 0, modified = 0;
};

TEST_F(UserEditCycle, EntryByTabShowsTheEditFormatSelectedAndLeavingUntypedChecksNothing) {
    a->SetFormatEdit("[%s]");
    a->SetFormatView("<%s>");
    a->SetValue("abc");
    a->SetValueDef("def");
    a->SetValueMin("x"); // "abc" is below: a check would fail
    Show();
    EXPECT_EQ(a->Text(), "<abc>");
    TabIntoFirst();
    EXPECT_EQ(a->Text(), "[abc]");
    EXPECT_EQ(Selection(a->Handle()), std::make_pair(0, 5));
    EXPECT_FALSE(a->TextModified());
    EXPECT_TRUE(a->EditState().Contains(uesEditing));
    EXPECT_EQ(enters, 1);
    Key(VK_TAB);
    EXPECT_EQ(GetFocus(), b->Handle());
    EXPECT_EQ(a->Text(), "<abc>");
    EXPECT_EQ(a->Value(), "abc");
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(modifying, 0);
    EXPECT_EQ(modified, 0);
    EXPECT_FALSE(a->EditState().Contains(uesEditing));

    // Empty value with a default: still untouched when left untyped.
    a->SetValue("");
    TabIntoFirst();
    Key(VK_TAB);
    EXPECT_EQ(a->Text(), "<>");
    EXPECT_EQ(a->Value(), "");
}

TEST_F(UserEditCycle, EntryByClickSelectsNothing) {
    a->SetValue("abcdef");
    Show();
    Click(a->Handle(), 2, 5);
    ASSERT_EQ(GetFocus(), a->Handle());
    EXPECT_EQ(enters, 1);
    const auto sel = Selection(a->Handle());
    EXPECT_EQ(sel.first, sel.second);
    EXPECT_TRUE(a->EditState().Contains(uesEditing));
}

TEST_F(UserEditCycle, TypingAndDeletingStillChecksAndAccepts) {
    a->SetValue("m");
    Show();
    TabIntoFirst();
    Key(VK_END);
    Type("x");
    Key(VK_BACK);
    EXPECT_EQ(a->Text(), "m");
    EXPECT_TRUE(a->TextModified());
    Key(VK_TAB);
    EXPECT_EQ(modifying, 1);
    EXPECT_EQ(modified, 1);
    EXPECT_FALSE(a->TextModified());
    EXPECT_EQ(exits, 1);
}

TEST_F(UserEditCycle, TypedTextIsAcceptedOnExitAndAVetoKeepsTheFocus) {
    a->SetValue("old");
    bool allow = false;
    a->OnModifying = [&](TComponent *, bool &can) {
        ++modifying;
        can = allow;
    };
    Show();
    TabIntoFirst();
    Type("new");
    Key(VK_TAB);
    EXPECT_EQ(GetFocus(), a->Handle()); // vetoed: back, no message
    EXPECT_EQ(a->Text(), "new");
    EXPECT_TRUE(a->TextModified());
    EXPECT_EQ(modified, 0);
    EXPECT_EQ(enters, 1);
    allow = true;
    Key(VK_TAB);
    EXPECT_EQ(GetFocus(), b->Handle());
    EXPECT_EQ(a->Value(), "new");
    EXPECT_EQ(modified, 1);
    EXPECT_EQ(modifying, 2);
}

TEST_F(UserEditCycle, FailedCheckOnExitRefocusesColoursAndShowsTheErrorBox) {
    a->SetValueMin("5");
    a->SetValue("7");
    a->HelpContext = 12;
    std::vector<std::string> order;
    a->OnValidationError = [&](TComponent *, TUserCheckResults r, std::string &text, int &help, bool &) {
        EXPECT_EQ(r, ucrMinFailed);
        EXPECT_EQ(text, "Das Minimum f\xFC" "r die Eingabe betr\xE4gt 5");
        EXPECT_EQ(help, 12);
        order.push_back("handler");
        text = "Zu klein";
    };
    Show();
    TabIntoFirst();
    Type("1");
    std::string boxText;
    {
        ModalScript script({CloseErrorBox(boxText)});
        Key(VK_TAB);
        PumpIdle();
    }
    EXPECT_EQ(order, std::vector<std::string>{"handler"});
    EXPECT_EQ(boxText, "Zu klein.");
    EXPECT_EQ(GetFocus(), a->Handle());
    EXPECT_EQ(form->ActiveControl(), a);
    EXPECT_EQ(enters, 1); // no OnEnter for the way back
    EXPECT_EQ(exits, 0);  // the exception stopped the exit
    EXPECT_EQ(a->Text(), "1");
    EXPECT_EQ(a->Color(), 255);
    EXPECT_TRUE(a->EditState().Contains(uesRefocus));
    EXPECT_TRUE(a->EditState().Contains(uesErrorColor));
    EXPECT_THROW(a->Value(), EUserEditError); // reading checks the typed text again
    EXPECT_EQ(order.size(), 2u);

    // Any key ends the error colour, even a dropped tab character.
    PostMessageA(a->Handle(), WM_CHAR, '\t', 1);
    PumpIdle();
    EXPECT_EQ(a->Color(), clWindow);
    EXPECT_FALSE(a->EditState().Contains(uesErrorColor));
    EXPECT_EQ(a->Text(), "1");

    // Fixing the text lets the user go.
    Retype("6");
    Key(VK_TAB);
    EXPECT_EQ(GetFocus(), b->Handle());
    EXPECT_EQ(a->Value(), "6");
}

TEST_F(UserEditCycle, HandledErrorKeepsTheFieldWithoutABox) {
    a->SetValueMax("5");
    int errors = 0;
    a->OnValidationError = [&](TComponent *, TUserCheckResults r, std::string &, int &, bool &handled) {
        EXPECT_EQ(r, ucrMaxFailed);
        ++errors;
        handled = true;
    };
    Show();
    TabIntoFirst();
    Type("9");
    Key(VK_TAB);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(GetFocus(), a->Handle());
    EXPECT_EQ(a->Color(), 255);
    EXPECT_EQ(exits, 1); // not stopped by an exception
    EXPECT_FALSE(FindMessageBox());
}

TEST_F(UserEditCycle, FailedCheckOnEnterKeepsRefocusAndPassesOverTheNextEntry) {
    a->SetFormatEdit("[%s]");
    a->SetFormatView("<%s>");
    a->SetValueMin("5");
    a->SetValue("7");
    Show();
    TabIntoFirst();
    Type("1");
    std::string boxText;
    {
        ModalScript script({CloseErrorBox(boxText)});
        Key(VK_RETURN);
        PumpIdle();
    }
    EXPECT_EQ(boxText, "Das Minimum f\xFC" "r die Eingabe betr\xE4gt 5.");
    EXPECT_EQ(GetFocus(), a->Handle());
    EXPECT_TRUE(a->EditState().Contains(uesRefocus));
    EXPECT_TRUE(a->EditState().Contains(uesEditing));
    EXPECT_TRUE(a->TextModified());
    EXPECT_EQ(a->Text(), "1");
    EXPECT_EQ(modified, 0);

    Retype("9");
    Key(VK_RETURN);
    EXPECT_EQ(modified, 1);
    EXPECT_FALSE(a->TextModified());
    EXPECT_FALSE(a->EditState().Contains(uesEditing));
    EXPECT_EQ(a->Text(), "9"); // Enter does not redisplay
    EXPECT_TRUE(a->EditState().Contains(uesRefocus));
    Key(VK_TAB);
    EXPECT_EQ(a->Text(), "<9>");

    // The next real entry is passed over: no edit format, no selection, no OnEnter.
    const int entersBefore = enters;
    TabIntoFirst();
    EXPECT_EQ(enters, entersBefore);
    EXPECT_EQ(a->Text(), "<9>");
    EXPECT_FALSE(a->EditState().Contains(uesRefocus));
    EXPECT_FALSE(a->EditState().Contains(uesEditing));
    // ... and the one after that is a normal one again.
    Key(VK_TAB);
    TabIntoFirst();
    EXPECT_EQ(enters, entersBefore + 1);
    EXPECT_EQ(a->Text(), "[9]");
}

TEST_F(UserEditCycle, EnterWithAHandledFailureLeavesTheEditAsItWas) {
    a->SetValueMin("5");
    a->SetValue("7");
    int errors = 0;
    a->OnValidationError = [&](TComponent *, TUserCheckResults, std::string &, int &, bool &handled) {
        ++errors;
        handled = true;
    };
    Show();
    TabIntoFirst();
    Type("1");
    Key(VK_RETURN);
    EXPECT_EQ(errors, 1);
    EXPECT_TRUE(a->TextModified());
    EXPECT_TRUE(a->EditState().Contains(uesEditing));
    EXPECT_EQ(modified, 0);
    EXPECT_EQ(a->Text(), "1");
    Key(VK_TAB); // still modified: leaving checks again
    EXPECT_EQ(errors, 2);
    EXPECT_EQ(GetFocus(), a->Handle());
}

TEST_F(UserEditCycle, EscapeRestoresTheLastValueAndNothingIsCheckedAfterwards) {
    a->SetFormatEdit("[%s]");
    a->SetValue("abc");
    int keyPresses = 0;
    a->OnKeyPress = [&](TComponent *, char &) { ++keyPresses; };
    Show();
    TabIntoFirst();
    Type("zz");
    EXPECT_EQ(keyPresses, 2);
    Key(VK_ESCAPE);
    EXPECT_EQ(a->Text(), "[abc]");
    EXPECT_EQ(Selection(a->Handle()), std::make_pair(0, 5));
    EXPECT_FALSE(a->TextModified());
    EXPECT_EQ(keyPresses, 2); // Escape never reaches OnKeyPress
    Key(VK_TAB);
    EXPECT_EQ(modifying, 0);
    EXPECT_EQ(modified, 0);
    EXPECT_EQ(a->Value(), "abc");
}

TEST_F(UserEditCycle, InvalidCharactersAreDroppedAndTheHandlerDecidesTheBeepOnly) {
    a->SetValue("");
    std::vector<char> seen;
    a->OnInvalidChar = [&](TComponent *, char &key, TUserEditState state) {
        seen.push_back(key);
        EXPECT_TRUE(state.Contains(uesEditing));
        key = 'x'; // not used
        return true;
    };
    Show();
    TabIntoFirst();
    Type("a\tb");
    EXPECT_EQ(seen, std::vector<char>{'\t'});
    EXPECT_EQ(a->Text(), "ab");
}

TEST_F(UserEditCycle, DisplayHandlersBeforeAndAfterFormatting) {
    a->SetFormatView("<%s>");
    a->SetValue("v");
    std::vector<std::string> seen;
    bool takeOver = true;
    a->OnBeforeTF = [&](TComponent *, std::string &text, TUserEditState) {
        seen.push_back("before:" + text);
        text = "own";
        return takeOver;
    };
    a->OnAfterTF = [&](TComponent *, std::string &text, TUserEditState) {
        seen.push_back("after:" + text);
        text += "!";
    };
    a->SetValue("w");
    EXPECT_EQ(a->Text(), "own!");
    takeOver = false;
    a->SetValue("x");
    EXPECT_EQ(a->Text(), "<x>!");
    EXPECT_EQ(seen, (std::vector<std::string>{"before:<v>", "after:own", "before:own!", "after:<x>"}));
}

TEST_F(UserEditCycle, ResetCheckErrorEndsTheErrorStateAndRedisplays) {
    a->SetValueMin("5");
    a->SetValue("7");
    a->OnValidationError = [](TComponent *, TUserCheckResults, std::string &, int &, bool &handled) {
        handled = true;
    };
    Show();
    TabIntoFirst();
    Type("1");
    Key(VK_TAB);
    ASSERT_TRUE(a->EditState().Contains(uesErrorColor));
    a->ResetCheckError();
    EXPECT_EQ(a->Color(), clWindow);
    EXPECT_FALSE(a->EditState().Contains(uesErrorColor));
    EXPECT_FALSE(a->EditState().Contains(uesRefocus));
    EXPECT_EQ(a->Text(), "7");
    EXPECT_FALSE(a->TextModified());
}

TEST_F(UserEditCycle, DisabledColoursAndBackAtEnabling) {
    Show();
    a->SetEnabled(false);
    EXPECT_EQ(a->Color(), static_cast<TColor>(GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(a->Font().Color, static_cast<TColor>(GetSysColor(COLOR_GRAYTEXT)));
    a->SetEnabled(true);
    EXPECT_EQ(a->Color(), clWindow);
    EXPECT_EQ(a->Font().Color, clWindowText);

    // Made in code, never loaded: the colour set before the window is kept.
    auto *c = TCustomUserEdit::Create<TEditText>(form.get());
    c->SetParent(form.get());
    c->SetColor(0x00CCFFCC);
    c->SetEnabled(false);
    c->HandleNeeded();
    EXPECT_EQ(c->Color(), static_cast<TColor>(GetSysColor(COLOR_BTNFACE)));
    c->SetEnabled(true);
    EXPECT_EQ(c->Color(), 0x00CCFFCC);
}

} // namespace
