// The validated edit's cycle as a user lives it, on a shown form: entering
// by Tab and by click, leaving with and without typing, failed checks on exit
// and on Enter with the error box, Escape, and the error colour.
#include <gtest/gtest.h>

#include "EditTestSupport.h"
#include "framework/StdCtrls.h"

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

    // The next real entry is an entry, and what is typed then is the value.
    TabIntoFirst();
    EXPECT_EQ(enters, 2);
    EXPECT_EQ(Selection(a->Handle()), std::make_pair(0, 1));
    Type("8");
    EXPECT_EQ(a->Value(), "8");
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

TEST_F(UserEditCycle, FailedCheckOnEnterKeepsRefocusUntilTheFieldIsLeft) {
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

    // Leaving ended the refocus state: the next real entry is an entry, and
    // what is typed then is the value.
    const int entersBefore = enters;
    TabIntoFirst();
    EXPECT_EQ(enters, entersBefore + 1);
    EXPECT_EQ(a->Text(), "[9]");
    EXPECT_EQ(Selection(a->Handle()), std::make_pair(0, 3));
    EXPECT_FALSE(a->EditState().Contains(uesRefocus));
    EXPECT_TRUE(a->EditState().Contains(uesEditing));
    Type("8");
    EXPECT_EQ(a->Value(), "8");
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

// A failed check that does not raise takes the focus back before the other
// control has handled its own focus: neither the caret nor a button's focus
// frame may stay with it, and the button does not click.
TEST_F(UserEditCycle, AFailedCheckWithoutErrorBoxLeavesCaretAndFocusFrameInTheField) {
    auto *button = new TButton(form.get());
    button->SetParent(form.get());
    button->SetBounds(140, 8, 50, 21);
    button->SetTabStop(false);
    int clicks = 0;
    button->OnClick = [&](TComponent *) { ++clicks; };
    a->SetValueMin("5");
    a->SetValue("7");
    a->OnValidationError = [](TComponent *, TUserCheckResults, std::string &, int &, bool &handled) {
        handled = true;
    };
    a->OnModifying = [](TComponent *, bool &can) { can = false; };
    Show();
    auto caretWindow = [] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetCurrentThreadId(), &info);
        return info.hwndCaret;
    };
    const struct {
        const char *typed; // "1" fails the check, "9" passes it and is vetoed
        bool byButton;
    } cases[] = {{"1", false}, {"9", false}, {"1", true}, {"9", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.typed) + (c.byButton ? " button" : " tab"));
        b->SetFocus();
        PumpIdle();
        TabIntoFirst();
        Retype(c.typed);
        if (c.byButton)
            Click(button->Handle(), 5, 5);
        else
            Key(VK_TAB);
        EXPECT_EQ(GetFocus(), a->Handle());
        EXPECT_EQ(caretWindow(), a->Handle());
        EXPECT_EQ(SendMessageA(button->Handle(), BM_GETSTATE, 0, 0) & (BST_FOCUS | BST_PUSHED), 0);
        EXPECT_EQ(clicks, 0);
        a->ResetCheckError(); // shows the value, unmodified: the field can be left
    }
}

TEST_F(UserEditCycle, ChangingThePasswordCharacterKeepsTheTypedText) {
    a->SetValue("old");
    Show();
    TabIntoFirst();
    Type("new");
    a->SetPasswordChar('*');
    EXPECT_TRUE(a->TextModified());
    EXPECT_EQ(a->Text(), "new");
    Key(VK_TAB);
    EXPECT_EQ(a->Value(), "new");
    EXPECT_EQ(modified, 1);
}

// The mouse events with their button, shift state and client position; the
// click follows a left release inside the field, and a double click gives a
// second press marked as double.
TEST_F(UserEditCycle, MouseEventsAndTheClickAfterAReleaseInside) {
    std::vector<std::string> log;
    auto entry = [&log](const char *what, int button, TShiftState shift, int x, int y) {
        std::string e = what;
        if (button >= 0)
            e += "LRM"[button];
        e += ' ';
        const char *flags = "SACLRMD";
        for (int i = 0; flags[i]; ++i)
            if (shift & (1u << i))
                e += flags[i];
        log.push_back(e + ' ' + std::to_string(x) + ',' + std::to_string(y));
    };
    a->OnMouseDown = [=](TComponent *, TMouseButton b, TShiftState s, int x, int y) { entry("down", b, s, x, y); };
    a->OnMouseUp = [=](TComponent *, TMouseButton b, TShiftState s, int x, int y) { entry("up", b, s, x, y); };
    a->OnMouseMove = [=](TComponent *, TShiftState s, int x, int y) { entry("move", -1, s, x, y); };
    a->OnClick = [&](TComponent *) { log.push_back("click"); };
    a->OnDblClick = [&](TComponent *) { log.push_back("dblclick"); };
    SetCursorPos(0, 0); // no move of the real pointer over the field
    Show();
    struct Message {
        UINT msg;
        WPARAM keys;
        int x, y;
    };
    const struct {
        std::vector<Message> messages;
        std::vector<std::string> expected;
    } cases[] = {
        {{{WM_LBUTTONDOWN, MK_LBUTTON, 5, 4}, {WM_LBUTTONUP, 0, 6, 4}}, {"downL L 5,4", "click", "upL  6,4"}},
        {{{WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 5, 4}, {WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, -3, 30},
          {WM_LBUTTONUP, MK_SHIFT, -3, 30}},
         {"downL SL 5,4", "move SL -3,30", "upL S -3,30"}},
        {{{WM_LBUTTONDOWN, MK_LBUTTON, 5, 4}, {WM_LBUTTONUP, 0, 5, 4}, {WM_LBUTTONDBLCLK, MK_LBUTTON, 5, 4},
          {WM_LBUTTONUP, 0, 5, 4}},
         {"downL L 5,4", "click", "upL  5,4", "dblclick", "downL LD 5,4", "upL  5,4"}},
        {{{WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, 7, 3}, {WM_MBUTTONDOWN, MK_RBUTTON | MK_MBUTTON | MK_CONTROL, 7, 3},
          {WM_MBUTTONUP, MK_RBUTTON | MK_CONTROL, 8, 3}},
         {"downR CR 7,3", "downM CRM 7,3", "upM CR 8,3"}},
    };
    for (const auto &c : cases) {
        log.clear();
        for (const Message &m : c.messages)
            PostMessageA(a->Handle(), m.msg, m.keys, MAKELPARAM(m.x, m.y));
        PumpIdle();
        EXPECT_EQ(log, c.expected);
    }
}

// The other field's vetoed exit keeps the focus: the press on b is refused whole.
TEST_F(UserEditCycle, APressThatCannotTakeTheFocusGivesNoMouseEvent) {
    std::vector<std::string> log;
    b->OnMouseDown = [&](TComponent *, TMouseButton, TShiftState, int, int) { log.push_back("down"); };
    b->OnMouseUp = [&](TComponent *, TMouseButton, TShiftState, int, int) { log.push_back("up"); };
    b->OnClick = [&](TComponent *) { log.push_back("click"); };
    a->OnModifying = [](TComponent *, bool &can) { can = false; };
    Show();
    TabIntoFirst();
    Retype("9");
    Click(b->Handle(), 5, 5);
    EXPECT_EQ(GetFocus(), a->Handle());
    EXPECT_EQ(log, std::vector<std::string>{});
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
    a->OnBeforeTF = [&](TComponent *, WipingString &text, TUserEditState) {
        seen.push_back("before:" + std::string(text));
        text = "own";
        return takeOver;
    };
    a->OnAfterTF = [&](TComponent *, WipingString &text, TUserEditState) {
        seen.push_back("after:" + std::string(text));
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
