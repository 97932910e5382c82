// The edit base on real EDIT windows: properties before and after the window
// exists, change notifications, the modified flag across re-creation,
// selection copies, the fitted height, auto-select; and the validated edit's
// own right-aligned painting, read back pixel by pixel.
#include <gtest/gtest.h>

#include "EditTestSupport.h"

namespace {

// The client area as the control paints it into a memory bitmap; each pixel
// is true where it differs from the background.
struct Painted {
    int width, height;
    std::vector<bool> ink;
    bool At(int x, int y) const { return ink[y * width + x]; }
};
Painted Paint(TWinControl *e) {
    RECT r;
    GetClientRect(e->Handle(), &r);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageA(e->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    Painted p{r.right, r.bottom, {}};
    const COLORREF background = ColorToRGB(e->Color());
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            p.ink.push_back(GetPixel(dc, x, y) != background);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return p;
}
std::pair<int, int> InkColumns(const Painted &p) {
    int first = -1, last = -1;
    for (int x = 0; x < p.width; ++x)
        for (int y = 0; y < p.height; ++y)
            if (p.At(x, y)) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

// A single border is the plain line the EDIT draws at the client's edge.
bool FramePainted(TWinControl *e) {
    const Painted p = Paint(e);
    return p.At(0, p.height / 2) && p.At(p.width - 1, p.height / 2);
}

class EditBase : public ::testing::Test {
protected:
    void SetUp() override {
        InitFrameworkForTests();
        form = std::make_unique<EditForm>();
        edit = new TCustomEditEx(form.get());
        edit->Name = "eBase";
        edit->SetParent(form.get());
        edit->SetBounds(8, 70, 120, 21);
        edit->SetTabOrder(2);
        edit->OnChange = [this](TComponent *) { ++changes; };
    }
    StrayBoxGuard guard;
    std::unique_ptr<EditForm> form;
    TCustomEditEx *edit = nullptr;
    int changes = 0;
};

TEST_F(EditBase, StylesFollowTheProperties) {
    edit->SetPasswordChar('#');
    edit->SetReadOnly(true);
    edit->SetCharCase(ecLowerCase);
    const LONG style = Style(edit->Handle());
    EXPECT_EQ(style & (ES_AUTOHSCROLL | ES_AUTOVSCROLL), ES_AUTOHSCROLL | ES_AUTOVSCROLL);
    EXPECT_TRUE(FramePainted(edit));
    EXPECT_TRUE(style & ES_PASSWORD);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & ES_LOWERCASE);
    EXPECT_FALSE(style & (ES_UPPERCASE | ES_NOHIDESEL | ES_OEMCONVERT | ES_MULTILINE));
    EXPECT_FALSE(ExStyle(edit->Handle()) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), '#');
    edit->SetReadOnly(false);
    EXPECT_FALSE(Style(edit->Handle()) & ES_READONLY);
    edit->SetCharCase(ecUpperCase); // recreated
    EXPECT_TRUE(Style(edit->Handle()) & ES_UPPERCASE);
    EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), '#');
    edit->SetBorderStyle(bsNone);
    EXPECT_FALSE(FramePainted(edit));
}

TEST_F(EditBase, MaxLengthBeforeAndAfterTheWindowWithoutCuttingText) {
    edit->SetMaxLength(5);
    edit->SetText("abcdefgh");
    EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETLIMITTEXT, 0, 0), 5);
    EXPECT_EQ(edit->Text(), "abcdefgh");
    edit->SetMaxLength(3);
    EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETLIMITTEXT, 0, 0), 3);
    EXPECT_EQ(edit->Text(), "abcdefgh");
}

std::vector<UINT> g_messages;
WNDPROC g_editProc;
LRESULT CALLBACK Record(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if ((m >= EM_GETSEL && m <= EM_GETIMESTATUS) || m == WM_SETTEXT || m == WM_DESTROY)
        g_messages.push_back(m);
    return CallWindowProcA(g_editProc, w, m, wp, lp);
}

TEST_F(EditBase, SettingAPropertyToItsValueSendsNothing) {
    edit->SetMaxLength(4);
    edit->SetPasswordChar('*');
    HWND window = edit->Handle();
    g_messages.clear();
    g_editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Record)));
    edit->SetMaxLength(4);
    edit->SetPasswordChar('*');
    edit->SetReadOnly(false);
    edit->SetCharCase(ecNormal);
    edit->SetBorderStyle(bsSingle);
    edit->SetAutoSize(true);
    EXPECT_EQ(g_messages, std::vector<UINT>{});
    EXPECT_EQ(edit->Handle(), window);
    edit->SetMaxLength(6);
    edit->SetPasswordChar('+');
    EXPECT_EQ(g_messages,
              (std::vector<UINT>{EM_LIMITTEXT, EM_SETPASSWORDCHAR, EM_GETMODIFY, WM_SETTEXT, EM_SETMODIFY}));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editProc));
}

TEST_F(EditBase, TextModifiedBeforeTheWindowAndAcrossRecreation) {
    edit->SetTextModified(true);
    EXPECT_TRUE(edit->TextModified());
    HWND window = edit->Handle();
    EXPECT_TRUE(SendMessageA(window, EM_GETMODIFY, 0, 0));
    edit->SetCharCase(ecUpperCase);
    EXPECT_TRUE(edit->TextModified());
    edit->SetTextModified(false);
    edit->SetBorderStyle(bsNone);
    EXPECT_FALSE(edit->TextModified());
    edit->SetText("kept");
    edit->SetTextModified(true);
    edit->SetCharCase(ecNormal);
    EXPECT_EQ(edit->Text(), "KEPT"); // typed in upper case
    EXPECT_TRUE(edit->TextModified());
}

TEST_F(EditBase, OneChangeNotificationPerProgrammaticChangeAndNoneAtCreation) {
    edit->SetText("a"); // no window yet: the change itself reports
    EXPECT_EQ(changes, 1);
    edit->HandleNeeded();
    EXPECT_EQ(changes, 1);
    edit->SetText("b");
    EXPECT_EQ(changes, 2);
    edit->SetText("b");
    EXPECT_EQ(changes, 2);
    edit->SetCharCase(ecUpperCase); // recreated with its text
    EXPECT_EQ(changes, 2);
    edit->ClearText();
    EXPECT_EQ(changes, 3);
    form->Show();
    Pump(20);
    edit->SetFocus();
    Pump(10);
    Type("xy"); // the user's typing reports each change
    EXPECT_EQ(changes, 5);
}

TEST_F(EditBase, SelectionOperationsAndCopiesIntoSmallBuffers) {
    edit->SetText("abcdef");
    SendMessageA(edit->Handle(), EM_SETSEL, 1, 4);
    EXPECT_EQ(edit->GetSelectionStart(), 1);
    EXPECT_EQ(edit->GetSelectionLength(), 3);
    EXPECT_EQ(edit->GetSelectedText(), "bcd");
    char buffer[8];
    auto fill = [&] { std::fill(std::begin(buffer), std::end(buffer), '~'); };
    fill();
    EXPECT_EQ(edit->CopySelectedText(buffer, 10 - 2), 3);
    EXPECT_STREQ(buffer, "bcd");
    fill();
    EXPECT_EQ(edit->CopySelectedText(buffer, 3), 2);
    EXPECT_STREQ(buffer, "bc");
    fill();
    EXPECT_EQ(edit->CopySelectedText(buffer, 1), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '~');
    fill();
    EXPECT_EQ(edit->CopySelectedText(buffer, 0), 0);
    EXPECT_EQ(edit->CopySelectedText(buffer, -5), 0);
    EXPECT_EQ(buffer[0], '~');
    EXPECT_EQ(edit->CopySelectedText(nullptr, 4), 0);

    edit->SetSelectionStart(2);
    EXPECT_EQ(edit->GetSelectionLength(), 0);
    EXPECT_EQ(edit->GetSelectedText(), "");
    edit->SetSelectionLength(2);
    EXPECT_EQ(edit->GetSelectedText(), "cd");
    edit->SelectWholeText();
    EXPECT_EQ(edit->GetSelectedText(), "abcdef");
}

TEST_F(EditBase, ClipboardCopyAndPaste) {
    edit->SetText("hello");
    edit->SetSelectionStart(0);
    edit->SetSelectionLength(4);
    edit->CopySelection();
    edit->SetSelectionStart(5);
    edit->PasteText();
    EXPECT_EQ(edit->Text(), "hellohell");

    // Without text on the clipboard a paste changes nothing, not even the
    // selection of a password field.
    ASSERT_TRUE(OpenClipboard(edit->Handle()));
    EmptyClipboard();
    CloseClipboard();
    edit->SetPasswordChar('*');
    for (bool modified : {false, true}) {
        edit->SetTextModified(modified);
        edit->SelectWholeText();
        edit->PasteText();
        EXPECT_EQ(edit->Text(), "hellohell");
        EXPECT_EQ(edit->TextModified(), modified);
    }
}

// The character heights of the system font and of 8-point MS Sans Serif.
struct Heights {
    int system, font;
};
Heights MeasureDialogFont() {
    HDC dc = GetDC(nullptr);
    TEXTMETRICA system{}, font{};
    GetTextMetricsA(dc, &system);
    HFONT f = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    HGDIOBJ old = SelectObject(dc, f);
    GetTextMetricsA(dc, &font);
    SelectObject(dc, old);
    DeleteObject(f);
    ReleaseDC(nullptr, dc);
    return {system.tmHeight, font.tmHeight};
}
int FittedHeight(Heights h) { return h.font + std::min(h.system, h.font) / 4 + 4 * GetSystemMetrics(SM_CYBORDER); }

TEST_F(EditBase, HeightFitsTheFontWhileAutoSizeWithABorder) {
    const Heights font = MeasureDialogFont();
    edit->SetFont({.Height = -11});
    const int expected = FittedHeight(font);
    EXPECT_EQ(edit->Height(), expected);
    if (font.font == 13 && font.system == 16 && GetSystemMetrics(SM_CYBORDER) == 1) {
        EXPECT_EQ(edit->Height(), 20);
    }
    EXPECT_TRUE(edit->FixedHeight());

    edit->SetBorderStyle(bsNone); // free height, not refitted
    EXPECT_FALSE(edit->FixedHeight());
    edit->SetHeight(40);
    edit->SetFont({.Height = -20});
    EXPECT_EQ(edit->Height(), 40);
    edit->SetBorderStyle(bsSingle);
    EXPECT_NE(edit->Height(), 40);
    edit->SetAutoSize(false);
    edit->SetHeight(40);
    edit->SetFont({.Height = -11});
    EXPECT_EQ(edit->Height(), 40);
}

// Made without a parent, an edit is measured with the font it will show on a
// form, not with a default font of height 0.
TEST_F(EditBase, HeightAndTextMarginAtConstructionComeFromTheDialogFont) {
    const Heights font = MeasureDialogFont();
    auto *fresh = new TCustomEditEx(form.get());
    EXPECT_EQ(fresh->Height(), FittedHeight(font));
    auto *validated = TCustomUserEdit::Create<TEditText>(form.get());
    EXPECT_EQ(validated->Height(), FittedHeight(font));
    EXPECT_EQ(validated->TextMargin(), std::min(font.system, font.font) / 4);
}

TEST_F(EditBase, KeyboardFocusSelectsEverythingAClickNothing) {
    edit->SetText("abcdef");
    form->Show();
    Pump(20);
    form->eSecond->SetFocus();
    Pump(10);
    Key(VK_TAB);
    ASSERT_EQ(GetFocus(), edit->Handle());
    EXPECT_EQ(Selection(edit->Handle()), std::make_pair(0, 6));
    form->eSecond->SetFocus();
    Pump(10);
    Click(edit->Handle(), 2, 5);
    ASSERT_EQ(GetFocus(), edit->Handle());
    const auto sel = Selection(edit->Handle());
    EXPECT_EQ(sel.first, sel.second);
    edit->SetAutoSelect(false);
    form->eSecond->SetFocus();
    Pump(10);
    SendMessageA(edit->Handle(), EM_SETSEL, 1, 1);
    Key(VK_TAB);
    ASSERT_EQ(GetFocus(), edit->Handle());
    EXPECT_EQ(Selection(edit->Handle()), std::make_pair(1, 1));
}

// ---- the validated edit's own painting

TEST_F(EditBase, RightAlignedTextIsPaintedFlushRightWhileUnfocused) {
    TEditText *e = form->eFirst;
    e->SetBorderStyle(bsNone);
    e->SetValue("WW");
    form->Show();
    Pump(20);
    form->eSecond->SetFocus();
    Pump(10);
    const auto left = InkColumns(Paint(e));
    EXPECT_LT(left.first, 6);
    e->SetAlignment(taRightJustify);
    const Painted p = Paint(e);
    const auto right = InkColumns(p);
    EXPECT_GE(right.second, p.width - 2);
    EXPECT_GT(right.first, p.width / 2);
    bool inkInTopRows = false;
    for (int x = 0; x < p.width; ++x)
        inkInTopRows |= p.At(x, 0) || p.At(x, 1) || p.At(x, 2);
    EXPECT_TRUE(inkInTopRows); // starts at y = 0 without a border

    // Focused, the platform edit paints as usual: from the left.
    e->SetFocus();
    Pump(10);
    EXPECT_LT(InkColumns(Paint(e)).first, 6);
}

TEST_F(EditBase, RightAlignedPaintingMasksAPassword) {
    TEditText *secret = form->eFirst, *stars = form->eSecond;
    for (TEditText *e : {secret, stars}) {
        e->SetBorderStyle(bsNone);
        e->SetAlignment(taRightJustify);
    }
    secret->SetPasswordChar('*');
    secret->SetValue("abc");
    stars->SetValue("***");
    form->Show();
    Pump(20);
    edit->SetFocus();
    Pump(10);
    const Painted a = Paint(secret), b = Paint(stars);
    EXPECT_EQ(a.ink, b.ink);
    EXPECT_NE(InkColumns(a).first, -1);
}

TEST_F(EditBase, AlignmentChangeWhileFocusedRecreatesTheWindowAndKeepsTheFocus) {
    TEditText *e = form->eFirst;
    form->Show();
    Pump(20);
    e->SetFocus();
    Pump(10);
    HWND before = e->Handle();
    e->SetAlignment(taRightJustify);
    EXPECT_NE(e->Handle(), before);
    EXPECT_FALSE(IsWindow(before));
    EXPECT_EQ(GetFocus(), e->Handle());
    EXPECT_EQ(form->ActiveControl(), e);
}

TEST_F(EditBase, FontChangeClearsTheInnerMarginsOfAValidatedEdit) {
    TEditText *e = form->eFirst;
    e->SetFont({.Height = -13});
    EXPECT_EQ(SendMessageA(e->Handle(), EM_GETMARGINS, 0, 0), 0);
}

} // namespace
