#include "controls/UserEdit.h"

#include <algorithm>

#include "core/EditTextFormat.h"

namespace {
// The colours of a disabled edit, read once per load of the module.
struct DisabledColors {
    bool Read;
    TColor Face, GrayText;
};
constinit DisabledColors g_disabled = {false, 0, 0};

void ReadDisabledColors() {
    if (g_disabled.Read)
        return;
    g_disabled = {true, static_cast<TColor>(GetSysColor(COLOR_BTNFACE)),
                  static_cast<TColor>(GetSysColor(COLOR_GRAYTEXT))};
}
} // namespace

// ---- TCustomEditHistoryList

TCustomEditHistoryList::~TCustomEditHistoryList() {
    for (TCustomUserEdit *edit : edits_)
        edit->historyList_ = nullptr;
}

// ---- TCustomUserEdit

TCustomUserEdit::TCustomUserEdit(TCreateKey, TComponent *Owner) : TCustomEditEx(Owner) { ReadDisabledColors(); }

TCustomUserEdit::~TCustomUserEdit() {
    destroying_ = true;
    if (historyList_) {
        historyList_->SetEdit(nullptr);
        DetachHistoryList();
    }
}

void TCustomUserEdit::DetachHistoryList() {
    std::erase(historyList_->edits_, this);
    historyList_ = nullptr;
}

std::string TCustomUserEdit::GetFormat(int Index) const {
    switch (Index) {
    case 0: return errPrompt_.empty() ? Name : errPrompt_;
    case 1: return formatEdit_;
    case 2: return formatView_.empty() ? formatEdit_ : formatView_;
    default: return {};
    }
}

void TCustomUserEdit::SetFormat(int Index, std::string Value) {
    switch (Index) {
    case 0: errPrompt_ = std::move(Value); break;
    case 1: formatEdit_ = std::move(Value); break;
    case 2: formatView_ = std::move(Value); break;
    default: break;
    }
}

void TCustomUserEdit::SetAlignment(TUserAlignment Value) {
    if (alignment_ == Value)
        return;
    alignment_ = Value;
    if (Focused()) {
        RecreateWnd();
        SetFocus();
    } else if (HandleAllocated()) {
        InvalidateRect(Handle(), nullptr, TRUE);
    }
}

void TCustomUserEdit::SetHistoryList(TCustomEditHistoryList *Value) {
    if (historyList_) {
        historyList_->SetEdit(nullptr);
        DetachHistoryList();
    }
    historyList_ = Value;
    if (Value) {
        Value->edits_.push_back(this);
        Value->SetEdit(this);
    }
}

// ---- value operations

bool TCustomUserEdit::CheckValue() {
    checkResult_ = ucrOk;
    return true;
}

void TCustomUserEdit::GetErrorText(std::string &, int, int &HelpContext) { HelpContext = TControl::HelpContext; }

void TCustomUserEdit::InitValues() {
    NewValue(Values.Value);
    NewValue(Values.RestoreValue);
    NewValue(Values.ValueMax);
    NewValue(Values.ValueMin);
    NewValue(Values.ValueDef);
}

void TCustomUserEdit::DoneValues() {
    DisposeValue(Values.Value);
    DisposeValue(Values.ValueMax);
    DisposeValue(Values.ValueMin);
    DisposeValue(Values.RestoreValue);
    DisposeValue(Values.ValueDef);
}

bool TCustomUserEdit::IsValidChar(char Key) {
    const auto c = static_cast<unsigned char>(Key);
    return c < 32 && c != '\t';
}

// ---- the edit cycle

bool TCustomUserEdit::DoBeforeTF() {
    if (!OnBeforeTF)
        return false;
    SecretText text(Text()); // a refusal lets go of it here
    if (!OnBeforeTF(this, *text, editState_))
        return false;
    SetText(text.Copy());
    return true;
}

void TCustomUserEdit::DoAfterTF() {
    if (!OnAfterTF)
        return;
    SecretText text(Text()); // should the handler fail
    OnAfterTF(this, *text, editState_);
    SetText(text.Copy());
}

bool TCustomUserEdit::DoModifying() {
    bool canModify = true;
    if (OnModifying)
        OnModifying(this, canModify);
    return canModify;
}

void TCustomUserEdit::DoModified() {
    SetTextModified(false);
    if (OnModified)
        OnModified(this);
}

void TCustomUserEdit::UpdateText() {
    if (!DoBeforeTF())
        ValueToText();
    if (editState_.Contains(uesEditing)) {
        SelectWholeText();
        SetTextModified(false);
    }
    DoAfterTF();
}

bool TCustomUserEdit::ValidateEdit() {
    if (!TextModified())
        return true;
    if (!CheckValue()) {
        editState_.Include(uesRefocus);
        SetFocus();
        SetColor(errColor_);
        editState_.Include(uesErrorColor);
        ShowCheckError();
        return false;
    }
    if (DoModifying()) {
        TextToValue();
        return true;
    }
    SetFocus();
    return false;
}

void TCustomUserEdit::ValidateIfEditing() {
    if (editState_.Contains(uesEditing))
        ValidateEdit();
}

void TCustomUserEdit::ShowCheckError() {
    if (checkResult_ == ucrOk)
        return;
    MessageBeep(0);
    std::string text;
    int helpContext = 0;
    GetErrorText(text, static_cast<int>(ShortTextMax), helpContext);
    bool handled = false;
    if (OnValidationError)
        OnValidationError(this, checkResult_, text, helpContext, handled);
    if (handled)
        return;
    throw EUserEditError(CutShort(text), helpContext);
}

void TCustomUserEdit::ResetCheckError() {
    if (editState_.Contains(uesErrorColor))
        SetColor(savedColor_);
    editState_.Exclude(uesErrorColor);
    editState_.Exclude(uesRefocus);
    UpdateText();
}

void TCustomUserEdit::DoEnter() {
    if (!editState_.Contains(uesRefocus)) {
        editState_.Include(uesEditing);
        savedColor_ = Color();
        UpdateText();
        if (historyList_) {
            historyList_->SetEdit(this);
            historyList_->EditEntered();
        }
        TCustomEditEx::DoEnter();
    }
    editState_.Exclude(uesRefocus);
}

void TCustomUserEdit::DoExit() {
    // The refocus state passes over the entry that the focus's return after a
    // failed check would be. Here that return is no entry (the form's active
    // control never changed), so the state ends when the field is left; a
    // check that fails now sets it again.
    editState_.Exclude(uesRefocus);
    if (!TextModified()) {
        editState_.Exclude(uesEditing);
        UpdateText();
    } else if (ValidateEdit()) {
        editState_.Exclude(uesEditing);
        DoModified();
        UpdateText();
        if (historyList_)
            historyList_->EditCommitted();
    }
    if (historyList_)
        historyList_->EditExited();
    TCustomEditEx::DoExit();
}

// ---- keys

void TCustomUserEdit::KeyPress(char &Key) {
    if (editState_.Contains(uesErrorColor)) {
        SetColor(savedColor_);
        editState_.Exclude(uesErrorColor);
    }
    if (OwnKeyPress())
        return;
    if (!IsValidChar(Key)) {
        char key = Key; // what the handler puts here is not used
        if (OnInvalidChar && !OnInvalidChar(this, key, editState_))
            MessageBeep(0);
        Key = 0;
    } else if (Key == CharCode::Escape) {
        Key = 0;
        UndoValue();
    } else if (Key == CharCode::Enter) {
        Key = 0;
        if (TextModified()) {
            // A check that fails without raising leaves the edit as it was:
            // still modified, so the next exit checks again.
            const bool wasEditing = editState_.Contains(uesEditing);
            editState_.Include(uesEditing);
            if (ValidateEdit()) {
                editState_.Exclude(uesEditing);
                DoModified();
            } else if (!wasEditing) {
                editState_.Exclude(uesEditing);
            }
        }
    } else if (Key != 0) {
        TCustomEditEx::KeyPress(Key);
    }
}

void TCustomUserEdit::KeyDown(WORD &Key, TShiftState Shift) {
    if (historyList_)
        historyList_->EditKeyDown(Key, Shift);
    TCustomEditEx::KeyDown(Key, Shift);
}

void TCustomUserEdit::KeyUp(WORD &Key, TShiftState Shift) {
    TCustomEditEx::KeyUp(Key, Shift);
    if (historyList_ && historyList_->Active)
        historyList_->EditKeyUp(Key, Shift);
}

void TCustomUserEdit::NotifyChange() {
    inChange_ = true;
    ScopeExit done{[this] { inChange_ = false; }};
    TCustomEditEx::NotifyChange();
}

// ---- colours, loading, window

void TCustomUserEdit::UpdateColors() {
    if (Loading() || destroying_)
        return;
    if (!colorsSaved_) {
        savedColor_ = Color();
        savedFontColor_ = Font().Color;
        colorsSaved_ = true;
    }
    const bool enabled = Enabled();
    SetColor(enabled ? savedColor_ : g_disabled.Face);
    const TColor fontColor = enabled ? savedFontColor_ : g_disabled.GrayText;
    if (Font().Color != fontColor) {
        TFontDef font = Font();
        font.Color = fontColor;
        SetFont(font);
    }
}

void TCustomUserEdit::Loaded() {
    TCustomEditEx::Loaded();
    savedColor_ = Color();
    savedFontColor_ = Font().Color;
    colorsSaved_ = true;
    UpdateColors();
    if (!KeepTextAtLoad())
        UpdateText();
}

void TCustomUserEdit::CreateWnd() {
    TCustomEditEx::CreateWnd();
    UpdateColors();
}

void TCustomUserEdit::BoundsChanged() {
    TCustomEditEx::BoundsChanged();
    if (!Loading() && historyList_)
        historyList_->EditBoundsChanged(Left(), Top(), Width(), Height());
}

void TCustomUserEdit::WndProc(TMessage &m) {
    switch (m.Msg) {
    case WM_PAINT:
        if (alignment_ == taRightJustify && !Focused()) {
            PaintRightAligned(m);
            return;
        }
        break;
    case WM_SETFONT:
        TCustomEditEx::WndProc(m);
        SendMessageA(Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
        return;
    case WM_ENABLE:
        TCustomEditEx::WndProc(m);
        UpdateColors();
        return;
    default:
        break;
    }
    TCustomEditEx::WndProc(m);
}

// Right-aligned text while unfocused (the platform edit only aligns left). A
// password field shows its masking characters here as well.
void TCustomUserEdit::PaintRightAligned(TMessage &m) {
    HWND window = Handle();
    PAINTSTRUCT ps{};
    HDC dc = reinterpret_cast<HDC>(m.WParam);
    const bool own = !dc;
    if (own)
        dc = BeginPaint(window, &ps);
    ScopeExit end{[&] {
        if (own)
            EndPaint(window, &ps);
    }};
    const ScopedSelection font(dc, FontHandle());
    RECT r;
    GetClientRect(window, &r);
    if (BorderStyle() == bsSingle) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    SecretText shown(Text());
    WipingString &text = *shown;
    text.resize(std::min(text.size(), ShortTextMax));
    if (PasswordChar())
        text.assign(text.size(), PasswordChar());
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    const int margin = BorderStyle() == bsNone ? 0 : textMargin_;
    SetBkColor(dc, ColorToRGB(Color()));
    SetTextColor(dc, ColorToRGB(Font().Color));
    ExtTextOutA(dc, r.right - size.cx - margin, margin, ETO_OPAQUE | ETO_CLIPPED, &r, text.c_str(),
                static_cast<UINT>(text.size()), nullptr);
    m.Result = 0;
}
