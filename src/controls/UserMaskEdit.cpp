// TCustomUserMaskEdit: the validated edit with an edit mask.
#include "controls/UserMaskEdit.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <tuple>

#include "core/EditTextFormat.h"

namespace {
class TSystemAnsiLetters final : public TAnsiLetters {
public:
    bool IsLetter(char c) const override { return IsCharAlphaA(c); }
    bool IsLetterOrDigit(char c) const override { return IsCharAlphaNumericA(c); }
    char ToUpper(char c) const override {
        CharUpperBuffA(&c, 1);
        return c;
    }
    char ToLower(char c) const override {
        CharLowerBuffA(&c, 1);
        return c;
    }
};
constinit const TSystemAnsiLetters g_letters;

char LocaleChar(LCTYPE Type, char Default) {
    char buffer[8] = {};
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, Type, buffer, sizeof buffer) > 1 ? buffer[0] : Default;
}

// Ctrl+C, Ctrl+V and Ctrl+X as the window would take them.
UINT ClipboardMessage(char Key) {
    switch (Key) {
    case CharCode::CtrlC: return WM_COPY;
    case CharCode::CtrlV: return WM_PASTE;
    case CharCode::CtrlX: return WM_CUT;
    default: return 0;
    }
}

// The clipboard's text, cut to a short text; nothing when it holds none.
std::optional<std::string> ClipboardText(HWND Owner) {
    if (!OpenClipboard(Owner))
        return std::nullopt;
    ScopeExit close{[] { CloseClipboard(); }};
    HANDLE data = GetClipboardData(CF_TEXT);
    if (!data)
        return std::nullopt;
    const auto *text = static_cast<const char *>(GlobalLock(data));
    if (!text)
        return std::nullopt;
    ScopeExit unlock{[data] { GlobalUnlock(data); }};
    const size_t size = GlobalSize(data);
    return std::string(text, strnlen(text, std::min(size, ShortTextMax)));
}
} // namespace

const TAnsiLetters &SystemAnsiLetters() { return g_letters; }

TMaskSeparators LocaleSeparators() { return {LocaleChar(LOCALE_SDATE, '/'), LocaleChar(LOCALE_STIME, ':')}; }

// ---- mask assignment

std::string TCustomUserMaskEdit::BlankText() const {
    const TMaskSeparators separators = LocaleSeparators();
    std::string text;
    for (int m = 1; m <= static_cast<int>(mask_.size()); ++m) {
        if (std::optional<char> literal = MaskLiteralAt(mask_, m, separators))
            text += *literal;
        else if (IsEditableKind(MaskCharKind(mask_, m)))
            text += BlankChar;
    }
    return text;
}

void TCustomUserMaskEdit::SetMask(std::string_view Value) {
    mask_ = CutShort(Value, MaxMaskLength);
    positionCount_ = MaskToTextOffset(mask_, static_cast<int>(mask_.size()));
    caretPosition_ = 0;
    SetText(BlankText());
    SetTextModified(false);
    if (Focused())
        RecheckCaret();
}

// ---- value operations

void TCustomUserMaskEdit::AbandonEdit() {
    if (!TextModified())
        return;
    SetTextModified(false);
    ResetCheckError();
}

void TCustomUserMaskEdit::RejectBeep() { MessageBeep(0); }

// ---- window access

void TCustomUserMaskEdit::SetSelection(int Start, int End) { SendMessageA(Handle(), EM_SETSEL, Start, End); }

void TCustomUserMaskEdit::ReplaceSelection(const std::string &Text) {
    SendMessageA(Handle(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Text.c_str()));
}

// Straight to the system window: the simulated key is no key of the user's,
// so neither the key events nor the history list see it.
void TCustomUserMaskEdit::SendCaretKey(UINT Msg) {
    TMessage m{Msg, VK_LEFT, Msg == WM_KEYUP ? LPARAM(0xC0000001) : LPARAM(1), 0};
    DefaultHandler(m);
}

// ---- caret

void TCustomUserMaskEdit::PlaceCaret(int P) {
    if (!HasMask()) {
        P = std::clamp(P, 0, TextLength());
        SetSelection(P, P);
        return;
    }
    P = std::max(P, 0);
    int stop = P + 1;
    if (P >= positionCount_)
        P = stop = positionCount_;
    SetSelection(stop, stop);
    if (P != stop && BlockCaret) {
        // The block is a selection whose caret stands at its start: only a
        // Shift+Left of the window itself makes one.
        BYTE saved[256], state[256] = {};
        GetKeyboardState(saved);
        state[VK_SHIFT] = state[VK_LEFT] = 0x81;
        SetKeyboardState(state);
        ScopeExit restore{[&saved] { SetKeyboardState(saved); }};
        if (!unfocused_) {
            SendCaretKey(WM_KEYDOWN);
            SendCaretKey(WM_KEYUP);
        }
    }
    caretPosition_ = P;
}

void TCustomUserMaskEdit::RecheckCaret() {
    if (!HandleAllocated() || !HasMask())
        return;
    const auto [s, e] = Selection();
    if (s == e)
        PlaceCaret(s);
}

int TCustomUserMaskEdit::NextEditablePosition(int P) const {
    while (P < positionCount_ && IsLiteralPosition(mask_, P))
        ++P;
    return P;
}

int TCustomUserMaskEdit::PreviousEditablePosition(int P) const {
    while (P >= 0 && IsLiteralPosition(mask_, P))
        --P;
    return P < 0 ? NextEditablePosition(0) : P; // nothing before: from the start
}

void TCustomUserMaskEdit::Advance(int P, int Step) {
    int q = NextEditablePosition(P + Step);
    if (IsLiteralPosition(mask_, q)) // the mask ends in literals
        q = P;
    PlaceCaret(q);
}

void TCustomUserMaskEdit::Retreat(int P) { PlaceCaret(PreviousEditablePosition(P - 1)); }

// ---- characters

bool TCustomUserMaskEdit::FitCharToMask(char &Key, int M) const {
    const std::optional<char> fitted = MaskFitChar(mask_, M, Key, LocaleSeparators(), SystemAnsiLetters());
    if (!fitted)
        return false;
    Key = *fitted;
    return true;
}

int TCustomUserMaskEdit::FindLiteralAhead(int M, char Key) const {
    for (int f = std::max(M + 1, 1); f <= static_cast<int>(mask_.size()); ++f)
        if (IsLiteralKind(MaskCharKind(mask_, f)))
            return MaskLiteralAt(mask_, f, LocaleSeparators()) == Key ? f : -1;
    return -1;
}

bool TCustomUserMaskEdit::AcceptChar(char &Key, int T) {
    if (!HasMask())
        return true;
    const int m = TextToMaskOffset(mask_, T);
    // Behind the last position nothing is typed: the text keeps its length.
    if (m >= 0 && T >= 0 && T < positionCount_) {
        if (FitCharToMask(Key, m))
            return true;
        if (IsEditableKind(MaskCharKind(mask_, m))) {
            if (const int f = FindLiteralAhead(m, Key); f > 0) {
                PlaceCaret(MaskToTextOffset(mask_, f));
                return false;
            }
        }
    }
    if (!unfocused_)
        RejectBeep();
    return false;
}

void TCustomUserMaskEdit::BlankSelection(std::string &Text, int Start, int Count) const {
    if (Start < 0 || Start >= positionCount_)
        return;
    const int end = std::min({Start + Count, positionCount_, static_cast<int>(Text.size())});
    int t = Start;
    for (int m = TextToMaskOffset(mask_, Start); t < end && m <= static_cast<int>(mask_.size()); ++m) {
        const TMaskCharKind kind = MaskCharKind(mask_, m);
        if (IsEditableKind(kind))
            Text[static_cast<size_t>(t)] = BlankChar;
        if (OccupiesText(kind))
            ++t;
    }
}

int TCustomUserMaskEdit::MergeText(std::string &Text, int Start, std::string Insert) const {
    Start = std::clamp(Start, 0, positionCount_);
    size_t i = 0; // 0-based index into Insert
    for (int m = TextToMaskOffset(mask_, Start); m >= 1 && m <= static_cast<int>(mask_.size()); ++m) {
        const TMaskCharKind kind = MaskCharKind(mask_, m);
        if (!OccupiesText(kind))
            continue;
        if (i >= Insert.size() || Start + static_cast<int>(i) >= positionCount_)
            break;
        char c = Insert[i];
        if (!FitCharToMask(c, m))
            Insert[i] = BlankChar;
        else if (IsLiteralKind(kind) && c != Insert[i])
            Insert.insert(i, 1, c); // the pasted text skipped the literal
        else
            Insert[i] = c;
        ++i;
    }
    const size_t start = std::min(static_cast<size_t>(Start), Text.size());
    const size_t count = static_cast<size_t>(positionCount_);
    std::string merged = Text.substr(0, start);
    if (start + Insert.size() >= count) {
        merged += Insert.substr(0, count - start);
    } else {
        merged += Insert;
        if (start + Insert.size() < Text.size())
            merged += Text.substr(start + Insert.size(), count - start - Insert.size());
    }
    Text = std::move(merged);
    return Start + static_cast<int>(i);
}

bool TCustomUserMaskEdit::CheckComplete(const std::string &Text, int &ErrorPosition) const {
    size_t i = 0;
    for (int m = 1; m <= static_cast<int>(mask_.size()); ++m) {
        const TMaskCharKind kind = MaskCharKind(mask_, m);
        if (kind == mkRequired) {
            // A missing character counts as unfilled.
            const char c = i < Text.size() ? Text[i] : BlankChar;
            if (c == BlankChar || (c == ' ' && mask_[static_cast<size_t>(m - 1)] != 'C')) {
                ErrorPosition = static_cast<int>(i);
                return false;
            }
        }
        if (OccupiesText(kind))
            ++i;
    }
    return true;
}

void TCustomUserMaskEdit::ValidateMask() {
    int errorPosition = 0;
    if (!HasMask() || !TextModified() || CheckComplete(Text(), errorPosition))
        return;
    // Only a focus taken back is a re-entry: a flag set while the control
    // keeps the focus would swallow its next real entry.
    if (!Focused()) {
        reEnterPending_ = true;
        SetFocus();
    }
    PlaceCaret(errorPosition);
    ShowCheckError();
}

// ---- keys

void TCustomUserMaskEdit::KeyDown(WORD &Key, TShiftState Shift) {
    TCustomUserEdit::KeyDown(Key, Shift);
    if (!HasMask() || !Key || (Shift & ssAlt))
        return;
    switch (Key) {
    case VK_LEFT:
    case VK_RIGHT:
        ArrowKey(Key, Shift);
        if (!(Shift & (ssShift | ssCtrl)))
            Key = 0;
        return;
    case VK_UP:
    case VK_DOWN:
        Key = 0;
        return;
    case VK_HOME:
    case VK_END:
        HomeEndKey(Key, Shift);
        Key = 0;
        return;
    case VK_DELETE:
    case VK_BACK:
        if (CanEdit())
            DeleteKey(Key);
        Key = 0;
        return;
    case VK_INSERT:
        if (Shift & ssShift) {
            PasteText();
            Key = 0;
            return;
        }
        break;
    default:
        break;
    }
    RecheckCaret();
}

void TCustomUserMaskEdit::ArrowKey(WORD Key, TShiftState Shift) {
    if (Shift & ssCtrl)
        return;
    const auto [s, e] = Selection();
    if (Shift & ssShift) {
        if (Key == VK_RIGHT) {
            ++caretPosition_;
            if (s + 1 == e) { // anchor the block at its start, so the window extends it
                SetSelection(s, e);
                ++caretPosition_;
            }
            caretPosition_ = std::min(caretPosition_, positionCount_);
        } else {
            --caretPosition_;
            if (s + 2 == e && caretPosition_ > s) {
                SetSelection(s + 1, s + 1);
                --caretPosition_;
            }
            caretPosition_ = std::max(caretPosition_, 0);
        }
    } else if (e - s >= 2) {
        if (caretPosition_ == e)
            --caretPosition_;
        PlaceCaret(caretPosition_);
    } else if (Key == VK_LEFT) {
        Retreat(s);
    } else if (s == e) {
        PlaceCaret(s);
    } else {
        Advance(s, 1);
    }
}

void TCustomUserMaskEdit::HomeEndKey(WORD Key, TShiftState Shift) {
    auto [s, e] = Selection();
    const bool block = s + 1 == e;
    if (Key == VK_HOME) {
        if (Shift & ssShift) {
            if (s != caretPosition_ && !block)
                e = s + 1;
            SetSelection(0, e);
            RecheckCaret();
        } else {
            PlaceCaret(0);
        }
        caretPosition_ = 0;
    } else {
        if (Shift & ssShift) {
            if (e != caretPosition_ && !block)
                s = e - 1;
            SetSelection(s, positionCount_);
            RecheckCaret();
        } else {
            PlaceCaret(positionCount_);
        }
        caretPosition_ = positionCount_;
    }
}

void TCustomUserMaskEdit::DeleteKey(WORD Key) {
    if (ReadOnly())
        return;
    auto [s, e] = Selection();
    if (e - s <= 1 && Key == VK_BACK) {
        const int old = s;
        Retreat(s);
        std::tie(s, e) = Selection();
        if (s == old) // nothing editable before
            return;
    }
    if (s == e)
        return;
    std::string text = Text();
    BlankSelection(text, s, e - s);
    ReplaceSelection(text.substr(std::min(static_cast<size_t>(s), text.size()), static_cast<size_t>(e - s)));
    PlaceCaret(e - s == 1 ? s : NextEditablePosition(s));
}

void TCustomUserMaskEdit::KeyPress(char &Key) {
    TCustomUserEdit::KeyPress(Key); // ends the error colour only
    if (!HasMask())
        return;
    if (Key != 0 && Focused()) {
        if (Key == CharCode::Escape) {
            AbandonEdit();
        } else if (const UINT clipboard = ClipboardMessage(Key)) {
            Perform(clipboard);
        } else if (CanEdit() && !ReadOnly() && Key != CharCode::Backspace) {
            if (Key == CharCode::Enter) {
                ValidateMask();
            } else if (static_cast<unsigned char>(Key) >= ' ') { // no control character enters the text
                auto [s, e] = Selection();
                if (e - s > 1) {
                    DeleteKey(VK_DELETE);
                    s = NextEditablePosition(s);
                    PlaceCaret(s);
                }
                char c = Key;
                if (AcceptChar(c, s)) {
                    // Typing overwrites: a collapsed caret takes the character after it.
                    if (const auto [s2, e2] = Selection(); s2 == e2)
                        SetSelection(s2, s2 + 1);
                    ReplaceSelection(std::string(1, c));
                    Advance(Selection().first, 0);
                }
            }
        }
    }
    Key = 0;
}

void TCustomUserMaskEdit::KeyUp(WORD &Key, TShiftState Shift) {
    TCustomUserEdit::KeyUp(Key, Shift);
    if (HasMask() && (Key == VK_LEFT || Key == VK_RIGHT) && (Shift & ssCtrl))
        RecheckCaret(); // the window moved by a word
}

// ---- focus, text, messages

void TCustomUserMaskEdit::DoEnter() {
    if (!HasMask()) {
        TCustomUserEdit::DoEnter();
        return;
    }
    unfocused_ = false;
    if (!reEnterPending_)
        TCustomUserEdit::DoEnter();
    reEnterPending_ = false;
    RecheckCaret();
}

void TCustomUserMaskEdit::DoExit() {
    if (HasMask())
        unfocused_ = true;
    TCustomUserEdit::DoExit();
}

void TCustomUserMaskEdit::TextChanged() {
    TCustomUserEdit::TextChanged();
    if (!HandleAllocated() || !HasMask())
        return;
    if (const int s = Selection().first; IsLiteralPosition(mask_, s))
        PlaceCaret(NextEditablePosition(s));
}

void TCustomUserMaskEdit::Paste() {
    std::optional<std::string> pasted = ClipboardText(Handle());
    if (!pasted)
        return;
    const auto [s, e] = Selection();
    const std::string old = Text();
    std::string text = old;
    BlankSelection(text, s, e - s);
    const int p = MergeText(text, s, std::move(*pasted));
    if (text != old) {
        SetText(text);
        SetTextModified(true); // a pasted text is a typed one: the exit takes it over
        RecheckCaret();
    }
    PlaceCaret(p);
}

void TCustomUserMaskEdit::WndProc(TMessage &m) {
    switch (m.Msg) {
    case WM_SETFOCUS:
        TCustomUserEdit::WndProc(m);
        if (Focused()) { // not when another field's failed check took the focus back
            // This field's own failed exit check brings the focus back without
            // an entry: it is focused all the same.
            if (HasMask())
                unfocused_ = false;
            RecheckCaret();
        }
        return;
    case WM_LBUTTONDOWN:
        TCustomUserEdit::WndProc(m);
        buttonDownX_ = static_cast<short>(LOWORD(m.LParam));
        return;
    case WM_LBUTTONUP:
        if (PressRefused()) {
            TCustomUserEdit::WndProc(m); // swallowed there
            return;
        }
        TCustomUserEdit::WndProc(m);
        if (HasMask() && HandleAllocated()) {
            const auto [s, e] = Selection();
            // Dragged to the right: the caret stands at the selection's end.
            caretPosition_ = s != e && buttonDownX_ < static_cast<short>(LOWORD(m.LParam)) ? e : s;
            RecheckCaret();
        }
        return;
    case WM_CUT:
        if (!HasMask())
            break;
        CopySelection();
        if (CanEdit())
            DeleteKey(VK_DELETE);
        return;
    case WM_PASTE:
        if (!HasMask() || ReadOnly())
            break;
        if (CanEdit())
            Paste();
        return;
    case WM_GETDLGCODE:
        TCustomUserEdit::WndProc(m);
        if (HasMask() && TextModified())
            m.Result |= DLGC_WANTALLKEYS;
        return;
    default:
        break;
    }
    TCustomUserEdit::WndProc(m);
}
