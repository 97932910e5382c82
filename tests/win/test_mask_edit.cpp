// The mask edit on a real EDIT window of a shown form: typing, the block
// caret, literals skipped and jumped to, Delete and Backspace, Enter on an
// incomplete text, paste and cut, arrows with and without Shift and Ctrl,
// Home and End, the mouse, read-only, Escape, the control keys of the
// clipboard, the dialog code, mask assignment and loading.
#include <gtest/gtest.h>

#include "EditTestSupport.h"
#include "controls/UserMaskEdit.h"

namespace {

// The smallest value a mask edit can have: its text as it stands.
class TTestMaskEdit : public TCustomUserMaskEdit {
public:
    std::string value;
    int beeps = 0;
    using TCustomUserMaskEdit::AcceptChar;
    using TCustomUserMaskEdit::BlankChar;
    using TCustomUserMaskEdit::CheckComplete;
    using TCustomUserMaskEdit::MergeText;
    using TCustomUserMaskEdit::PlaceCaret;
    using TCustomUserMaskEdit::ValidateMask;
    bool editable = true;

protected:
    TTestMaskEdit(TCreateKey Key, TComponent *Owner) : TCustomUserMaskEdit(Key, Owner) {}
    void ValueToText() override { SetText(value.empty() ? BlankText() : value); }
    void TextToValue() override { value = Text(); }
    void NewValue(std::any &Slot) override { Slot = std::string(); }
    void DisposeValue(std::any &Slot) override { Slot.reset(); }
    void UndoValue() override {}
    bool CanEdit() override { return editable; }
    void RejectBeep() override {
        ++beeps;
        TCustomUserMaskEdit::RejectBeep();
    }
};

// Two mask edits from a layout table, given a value while loading; the
// first also gets a mask.
struct MaskForm : TForm {
    MaskForm();
    TTestMaskEdit *eMasked = nullptr;
    TTestMaskEdit *ePlain = nullptr;
};
void GiveValue(TComponent &c) { static_cast<TTestMaskEdit &>(c).value = "11/11"; }
void GiveValueAndMask(TComponent &c) {
    GiveValue(c);
    static_cast<TTestMaskEdit &>(c).SetMask("00/00");
}
constexpr TControlDef MaskControls[] = {
    {.Create = Field<&MaskForm::eMasked>, .Name = "eMasked", .Left = 8, .Top = 8, .Width = 80, .Height = 21,
     .More = GiveValueAndMask},
    {.Create = Field<&MaskForm::ePlain>, .Name = "ePlain", .Left = 8, .Top = 40, .Width = 80, .Height = 21,
     .More = GiveValue},
};
constexpr TFormDef MaskLayout = {.Name = "MaskForm", .Caption = "Mask test", .ClientWidth = 120,
                                 .ClientHeight = 80, .Controls = MaskControls};
MaskForm::MaskForm() { LoadLayout(MaskLayout); }

// Keys are served at once: the handling is synchronous.
void Press(WORD key) {
    PostKey(GetFocus(), key);
    PumpIdle();
}
void Chars(const std::string &text) {
    PostChars(GetFocus(), text);
    PumpIdle();
}
// Presses key while the modifiers are held.
void Held(std::initializer_list<int> modifiers, WORD key) {
    BYTE saved[256], state[256];
    GetKeyboardState(saved);
    std::copy(std::begin(saved), std::end(saved), state);
    for (int m : modifiers)
        state[m] = 0x80;
    SetKeyboardState(state);
    Press(key);
    SetKeyboardState(saved);
}

void SetClipboard(HWND owner, const std::string &text) {
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(data), text.c_str(), text.size() + 1);
    GlobalUnlock(data);
    SetClipboardData(CF_TEXT, data);
    CloseClipboard();
}
std::string Clipboard(HWND owner) {
    std::string text;
    if (OpenClipboard(owner)) {
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
            text = static_cast<const char *>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return text;
}

using Sel = std::pair<int, int>;

class MaskEdit : public ::testing::Test {
protected:
    void SetUp() override {
        InitFrameworkForTests();
        form = std::make_unique<EditForm>();
        edit = TCustomUserEdit::Create<TTestMaskEdit>(form.get());
        edit->Name = "eMask";
        edit->SetParent(form.get());
        edit->SetBounds(8, 70, 120, 21);
        edit->SetTabOrder(2);
        edit->OnEnter = [this](TComponent *) { ++enters; };
        form->Show();
        PumpIdle();
        edit->SetMask("00/00");
        Focus();
        separator = LocaleSeparators().Date;
    }
    void Focus() {
        edit->SetFocus();
        PumpIdle();
        ASSERT_EQ(GetFocus(), edit->Handle());
    }
    // The date mask's text with the locale's separator.
    std::string Date(const char *text) {
        std::string s = text;
        std::replace(s.begin(), s.end(), '/', separator);
        return s;
    }
    Sel At(int p) {
        edit->PlaceCaret(p);
        return Selection(edit->Handle());
    }
    // Types the digits of text from the first position.
    void TypeDate(const char *text) {
        At(0);
        std::string digits = text;
        std::erase(digits, '/');
        Chars(digits);
        ASSERT_EQ(edit->Text(), Date(text));
    }
    // Every way of changing the text: typing, deleting both ways, pasting
    // "99", and cutting the first Cut characters.
    void TryEveryChange(int cut) {
        SetClipboard(edit->Handle(), "99");
        At(0);
        Chars("5");
        Press(VK_DELETE);
        Press(VK_BACK);
        SendMessageA(edit->Handle(), WM_PASTE, 0, 0);
        SendMessageA(edit->Handle(), EM_SETSEL, 0, cut);
        SendMessageA(edit->Handle(), WM_CUT, 0, 0);
    }
    int CharX(int index) {
        return static_cast<short>(LOWORD(SendMessageA(edit->Handle(), EM_POSFROMCHAR, index, 0))) + 2;
    }
    StrayBoxGuard guard;
    std::unique_ptr<EditForm> form;
    TTestMaskEdit *edit = nullptr;
    char separator = '/';
    int enters = 0;
};

TEST_F(MaskEdit, AssignmentLaysOutTheBlankTemplate) {
    EXPECT_EQ(edit->PositionCount(), 5);
    EXPECT_EQ(edit->Text(), Date("__/__"));
    EXPECT_FALSE(edit->TextModified());
    // Directives and the field tail take no position; a literal first puts
    // the caret on the first editable position.
    edit->SetMask("!>(LL) 00:00;1;_");
    EXPECT_EQ(edit->PositionCount(), 10);
    EXPECT_EQ(edit->Text(), "(__) __" + std::string(1, LocaleSeparators().Time) + "__");
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 2));
    edit->SetMask(std::string(300, '0'));
    EXPECT_EQ(edit->Mask().size(), 255u);
    EXPECT_EQ(edit->Text(), std::string(255, '_'));
    edit->SetMask("");
    EXPECT_FALSE(edit->HasMask());
    EXPECT_EQ(edit->Text(), "");
}

TEST(MaskEditLoading, AMaskedEditKeepsItsTemplateWhenLoaded) {
    InitFrameworkForTests();
    MaskForm form;
    EXPECT_EQ(form.eMasked->Text().size(), 5u);
    EXPECT_EQ(form.eMasked->Text().substr(0, 2), "__");
    EXPECT_EQ(form.ePlain->Text(), "11/11"); // unmasked: the value is shown
}

TEST_F(MaskEdit, TypingFillsPositionsSkipsAndJumpsOverTheSeparator) {
    EXPECT_EQ(At(0), Sel(0, 1)); // the block caret
    Chars("x");
    EXPECT_EQ(edit->beeps, 1);
    EXPECT_EQ(edit->Text(), Date("__/__"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(0, 1));
    Chars("1");
    EXPECT_EQ(edit->Text(), Date("1_/__"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 2));
    Chars("2");
    EXPECT_EQ(Selection(edit->Handle()), Sel(3, 4)); // over the separator
    EXPECT_TRUE(edit->TextModified());

    for (int p : {0, 1}) {
        At(p);
        Chars(std::string(1, separator));
        EXPECT_EQ(Selection(edit->Handle()), Sel(3, 4)) << p;
    }
    EXPECT_EQ(edit->beeps, 1); // the jumps do not beep
    EXPECT_EQ(edit->Text(), Date("12/__"));

    Chars("34");
    EXPECT_EQ(edit->Text(), Date("12/34"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(5, 5));
    // Behind the last position nothing is added.
    Chars("5");
    EXPECT_EQ(edit->Text(), Date("12/34"));
    EXPECT_EQ(edit->beeps, 2);
    // A caret collapsed by the program still overwrites.
    SendMessageA(edit->Handle(), EM_SETSEL, 1, 1);
    Chars("7");
    EXPECT_EQ(edit->Text(), Date("17/34"));
    // A wide selection is blanked first; typing starts at its first position.
    SendMessageA(edit->Handle(), EM_SETSEL, 0, 5);
    Chars("9");
    EXPECT_EQ(edit->Text(), Date("9_/__"));
    // Not focused: rejected silently.
    char key = 'x';
    Press(VK_TAB);
    EXPECT_TRUE(edit->Unfocused());
    EXPECT_FALSE(edit->AcceptChar(key, 0));
    EXPECT_EQ(edit->beeps, 2);
}

TEST_F(MaskEdit, LettersAreConvertedAsTheDirectivesSay) {
    edit->SetMask(">LL<ll<>lA0");
    At(0);
    Chars("abCDe5x9"); // "<>" ends the conversion; "A" takes a digit
    EXPECT_EQ(edit->Text(), "ABcde59");
    EXPECT_EQ(edit->beeps, 1); // "x" at a digit
}

TEST_F(MaskEdit, DeleteAndBackspaceBlankPositionsAndKeepLiterals) {
    TypeDate("12/34");
    At(3);
    Press(VK_DELETE);
    EXPECT_EQ(edit->Text(), Date("12/_4"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(3, 4));
    Press(VK_BACK);
    EXPECT_EQ(edit->Text(), Date("1_/_4"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 2));
    At(0);
    Press(VK_BACK);
    EXPECT_EQ(edit->Text(), Date("1_/_4"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(0, 1));
    SendMessageA(edit->Handle(), EM_SETSEL, 0, 5);
    Press(VK_BACK);
    EXPECT_EQ(edit->Text(), Date("__/__"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(0, 1));
    // At the end nothing is selected: nothing to delete.
    TypeDate("12/34");
    Press(VK_DELETE);
    EXPECT_EQ(edit->Text(), Date("12/34"));
}

TEST_F(MaskEdit, ReadOnlyTakesNoTypingDeletingPastingOrCutting) {
    TypeDate("12/34");
    edit->SetReadOnly(true);
    TryEveryChange(5);
    EXPECT_EQ(edit->Text(), Date("12/34"));
    EXPECT_EQ(Clipboard(edit->Handle()), Date("12/34")); // cut still copies
}

TEST_F(MaskEdit, EnterPutsTheCaretOnTheFirstGapAndReportsNothing) {
    At(0);
    Chars("1");
    At(3);
    Chars("3");
    ASSERT_EQ(edit->Text(), Date("1_/3_"));
    EXPECT_TRUE(SendMessageA(edit->Handle(), WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS);
    Press(VK_RETURN);
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 2));
    EXPECT_EQ(GetFocus(), edit->Handle());
    EXPECT_TRUE(edit->TextModified());
    // The focus never left: the next entry is a full one.
    EXPECT_FALSE(edit->ReEnterPending());
    Press(VK_TAB);
    Press(VK_TAB);
    Press(VK_TAB);
    ASSERT_EQ(GetFocus(), edit->Handle());
    EXPECT_EQ(enters, 2);
    EXPECT_EQ(edit->value, Date("1_/3_")); // the exit took the text over
    // Complete: Enter leaves everything as it is.
    TypeDate("12/34");
    At(1);
    Press(VK_RETURN);
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 2));
    EXPECT_TRUE(edit->TextModified());
}

TEST_F(MaskEdit, AFailedCheckFromOutsideTakesTheFocusBackWithoutANewEntry) {
    form->eFirst->SetFocus();
    PumpIdle();
    edit->SetText(Date("1_/__"));
    edit->SetTextModified(true);
    const int entries = enters;
    edit->ValidateMask();
    EXPECT_EQ(GetFocus(), edit->Handle());
    EXPECT_EQ(enters, entries);
    EXPECT_FALSE(edit->ReEnterPending());
    EXPECT_EQ(edit->Text(), Date("1_/__")); // a full entry would show the value
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 2));
    EXPECT_FALSE(edit->Unfocused());
}

// The focus comes back without an entry: the field is focused all the same.
TEST_F(MaskEdit, AVetoedExitLeavesTheBlockCaretAndTheBeep) {
    edit->OnModifying = [](TComponent *, bool &CanModify) { CanModify = false; };
    At(0);
    Chars("1");
    Press(VK_TAB);
    ASSERT_EQ(GetFocus(), edit->Handle());
    EXPECT_FALSE(edit->Unfocused());
    EXPECT_EQ(At(3), Sel(3, 4));
    const int beeps = edit->beeps;
    Chars("x");
    EXPECT_EQ(edit->beeps, beeps + 1);
}

// A press refused because another field's exit was vetoed moves no caret.
TEST_F(MaskEdit, ARefusedPressLeavesTheCaretAlone) {
    form->eFirst->OnModifying = [](TComponent *, bool &CanModify) { CanModify = false; };
    form->eFirst->SetFocus();
    Chars("9");
    SendMessageA(edit->Handle(), EM_SETSEL, 1, 1);
    Click(edit->Handle(), CharX(3), 5);
    ASSERT_EQ(GetFocus(), form->eFirst->Handle());
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 1));
}

TEST_F(MaskEdit, UnfocusedTheCaretIsNoBlock) {
    Press(VK_TAB);
    ASSERT_TRUE(edit->Unfocused());
    edit->PlaceCaret(1);
    EXPECT_EQ(Selection(edit->Handle()), Sel(2, 2));
    EXPECT_EQ(edit->CaretPosition(), 1);
}

TEST_F(MaskEdit, AnEditThatCannotEditOnlyCopiesAndAbandons) {
    TypeDate("12/34");
    edit->editable = false;
    TryEveryChange(2);
    EXPECT_EQ(edit->Text(), Date("12/34"));
    EXPECT_EQ(Clipboard(edit->Handle()), "12");
    EXPECT_EQ(edit->beeps, 0);
    Press(VK_ESCAPE);
    EXPECT_EQ(edit->Text(), Date("__/__"));
}

TEST_F(MaskEdit, ControlKeysUseTheClipboardAndNeverEnterTheText) {
    edit->SetMask("cccc");
    SetClipboard(edit->Handle(), "ab");
    At(0);
    Chars("\x16"); // Ctrl+V
    EXPECT_EQ(edit->Text(), "ab__");
    SendMessageA(edit->Handle(), EM_SETSEL, 0, 2);
    Chars("\x03"); // Ctrl+C
    EXPECT_EQ(Clipboard(edit->Handle()), "ab");
    At(0);
    Chars("\x18"); // Ctrl+X
    EXPECT_EQ(Clipboard(edit->Handle()), "a");
    EXPECT_EQ(edit->Text(), "_b__");
    At(2);
    Chars("\x01\x1A");
    EXPECT_EQ(edit->Text(), "_b__");
    EXPECT_EQ(edit->beeps, 0);
}

TEST_F(MaskEdit, PastingFromAnEmptyClipboardChangesNothing) {
    TypeDate("12/34");
    ASSERT_TRUE(OpenClipboard(edit->Handle()));
    EmptyClipboard();
    CloseClipboard();
    At(1);
    SendMessageA(edit->Handle(), WM_PASTE, 0, 0);
    EXPECT_EQ(edit->Text(), Date("12/34"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 2));
}

TEST_F(MaskEdit, CompleteTextNeedsEveryRequiredPositionAndBlanksOnlyAtC) {
    edit->SetMask("C0-9");
    struct Case {
        const char *text;
        bool complete;
        int error;
    } cases[] = {{" 1-_", true, 0}, {"x1- ", true, 0}, {"x -5", false, 1}, {"_1-5", false, 0}, {"x", false, 1}};
    for (const Case &c : cases) {
        int error = -1;
        EXPECT_EQ(edit->CheckComplete(c.text, error), c.complete) << c.text;
        if (!c.complete) {
            EXPECT_EQ(error, c.error) << c.text;
        }
    }
}

TEST_F(MaskEdit, PasteMergesFromTheCaretAndKeepsWhatFollows) {
    TypeDate("12/34");
    SetClipboard(edit->Handle(), "9");
    At(0);
    Held({VK_SHIFT}, VK_INSERT);
    EXPECT_EQ(edit->Text(), Date("92/34"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 2));
    EXPECT_TRUE(edit->TextModified());
    // A pasted text that skips the separator gets it inserted; what does
    // not fit becomes blank.
    SetClipboard(edit->Handle(), "78x");
    At(0);
    SendMessageA(edit->Handle(), WM_PASTE, 0, 0);
    EXPECT_EQ(edit->Text(), Date("78/_4"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(4, 5));
    // Longer than the rest of the field: cut at its end.
    SetClipboard(edit->Handle(), "123456");
    At(3);
    SendMessageA(edit->Handle(), WM_PASTE, 0, 0);
    EXPECT_EQ(edit->Text(), Date("78/12"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(5, 5));
    // A pasted text is taken over on exit like a typed one.
    Press(VK_TAB);
    EXPECT_EQ(edit->value, Date("78/12"));
}

TEST_F(MaskEdit, CutCopiesAndBlanksTheSelection) {
    TypeDate("12/34");
    SendMessageA(edit->Handle(), EM_SETSEL, 1, 4);
    SendMessageA(edit->Handle(), WM_CUT, 0, 0);
    EXPECT_EQ(Clipboard(edit->Handle()), Date("2/3"));
    EXPECT_EQ(edit->Text(), Date("1_/_4"));
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 2));
}

TEST_F(MaskEdit, ArrowsMoveTheBlockOverEditablePositionsOnly) {
    int keyDowns = 0;
    edit->OnKeyDown = [&](TComponent *, WORD &, TShiftState) { ++keyDowns; };
    TypeDate("12/34");
    At(1);
    Press(VK_RIGHT);
    EXPECT_EQ(Selection(edit->Handle()), Sel(3, 4));
    Press(VK_LEFT);
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 2));
    Press(VK_UP);
    Press(VK_DOWN);
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 2));
    At(4);
    Press(VK_RIGHT);
    EXPECT_EQ(Selection(edit->Handle()), Sel(5, 5));
    Press(VK_RIGHT);
    EXPECT_EQ(Selection(edit->Handle()), Sel(5, 5));
    Press(VK_LEFT);
    EXPECT_EQ(Selection(edit->Handle()), Sel(4, 5));
    EXPECT_EQ(keyDowns, 7); // the block's simulated keys are no key events
    EXPECT_EQ(edit->Text(), Date("12/34"));

    // A mask that ends in a literal: the caret stays before it.
    edit->SetMask("(00)");
    At(2);
    Press(VK_RIGHT);
    EXPECT_EQ(Selection(edit->Handle()), Sel(2, 3));
    Press(VK_HOME);
    EXPECT_EQ(Selection(edit->Handle()), Sel(0, 1));
    Press(VK_END);
    EXPECT_EQ(Selection(edit->Handle()), Sel(4, 4));
}

TEST_F(MaskEdit, ShiftExtendsFromTheBlockAndCtrlMovesByWords) {
    TypeDate("12/34");
    At(0);
    Held({VK_SHIFT}, VK_RIGHT);
    EXPECT_EQ(Selection(edit->Handle()), Sel(0, 2));
    EXPECT_EQ(edit->CaretPosition(), 2);
    Held({VK_SHIFT}, VK_RIGHT);
    EXPECT_EQ(Selection(edit->Handle()), Sel(0, 3));
    EXPECT_EQ(edit->CaretPosition(), 3);
    Held({VK_SHIFT}, VK_LEFT);
    EXPECT_EQ(Selection(edit->Handle()), Sel(0, 2));
    Held({VK_SHIFT}, VK_LEFT);
    EXPECT_EQ(Selection(edit->Handle()), Sel(0, 1));
    EXPECT_EQ(edit->CaretPosition(), 0);
    // Without Shift a wide selection collapses to the block before its caret.
    At(3);
    Held({VK_SHIFT}, VK_RIGHT);
    ASSERT_EQ(Selection(edit->Handle()), Sel(3, 5));
    Press(VK_LEFT);
    EXPECT_EQ(Selection(edit->Handle()), Sel(4, 5));

    At(3);
    Held({VK_SHIFT}, VK_HOME);
    EXPECT_EQ(Selection(edit->Handle()), Sel(0, 4));
    EXPECT_EQ(edit->CaretPosition(), 0);
    At(1);
    Held({VK_SHIFT}, VK_END);
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 5));
    EXPECT_EQ(edit->CaretPosition(), 5);

    // Ctrl: the window moves by a word; the block follows on key up.
    At(0);
    Held({VK_CONTROL}, VK_RIGHT);
    const Sel after = Selection(edit->Handle());
    EXPECT_GT(after.first, 0);
    EXPECT_TRUE(after.second == after.first + 1 || after == Sel(5, 5)) << after.first << "," << after.second;
    EXPECT_EQ(edit->CaretPosition(), after.first);
    EXPECT_EQ(edit->Text(), Date("12/34"));
}

TEST_F(MaskEdit, ClickShowsTheBlockAndADragKeepsItsDirection) {
    TypeDate("12/34");
    Click(edit->Handle(), CharX(3), 5);
    EXPECT_EQ(Selection(edit->Handle()), Sel(3, 4));
    EXPECT_EQ(edit->CaretPosition(), 3);
    auto drag = [&](int from, int to) {
        PostMessageA(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(CharX(from), 5));
        PostMessageA(edit->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(CharX(to), 5));
        PostMessageA(edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(CharX(to), 5));
        PumpIdle();
    };
    drag(1, 4);
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 4));
    EXPECT_EQ(edit->CaretPosition(), 4);
    drag(4, 1);
    EXPECT_EQ(Selection(edit->Handle()), Sel(1, 4));
    EXPECT_EQ(edit->CaretPosition(), 1);
}

TEST_F(MaskEdit, EscapeGoesBackToTheAcceptedValue) {
    edit->value = Date("11/11");
    Press(VK_TAB);
    Focus();
    At(0);
    Chars("2");
    ASSERT_EQ(edit->Text(), Date("21/11"));
    Press(VK_ESCAPE);
    EXPECT_EQ(edit->Text(), Date("11/11"));
    EXPECT_FALSE(edit->TextModified());
    EXPECT_FALSE(SendMessageA(edit->Handle(), WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS);
}

TEST_F(MaskEdit, WithoutAMaskEveryKeyReachesTheWindow) {
    int presses = 0;
    edit->OnKeyPress = [&](TComponent *, char &) { ++presses; };
    edit->SetMask("");
    Chars("a1/");
    EXPECT_EQ(edit->Text(), "a1/");
    EXPECT_EQ(presses, 0);
    EXPECT_EQ(edit->beeps, 0);
    edit->PlaceCaret(9);
    EXPECT_EQ(Selection(edit->Handle()), Sel(3, 3));
}

} // namespace
