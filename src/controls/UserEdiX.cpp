#include "controls/UserEdiX.h"

#include <algorithm>
#include <utility>

#include "framework/Framework.h"

TCustomEditEx::TCustomEditEx(TComponent *Owner) : TWinControl(Owner) {
    TControl::SetBounds(0, 0, 121, 25);
    SetTabStop(true);
    SetColor(clWindow);
    ClickEvents = true;
    FitHeightToFont();
}

void TCustomEditEx::SetMaxLength(int Value) {
    if (maxLength_ == Value)
        return;
    maxLength_ = Value;
    if (HandleAllocated())
        ApplyMaxLength(Value);
}

void TCustomEditEx::SetBorderStyle(TBorderStyle Value) {
    if (borderStyle_ == Value)
        return;
    borderStyle_ = Value;
    UpdateFixedHeight();
    RecreateWnd();
}

void TCustomEditEx::SetPasswordChar(char Value) {
    if (passwordChar_ == Value)
        return;
    passwordChar_ = Value;
    if (HandleAllocated()) {
        SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(Value), 0);
        // Set again to redraw it with the new masking; what was typed stays typed.
        const bool modified = TextModified();
        const SecretText text(Text());
        SetWindowTextA(Handle(), text->c_str());
        SetTextModified(modified);
    }
}

void TCustomEditEx::SetReadOnly(bool Value) {
    if (readOnly_ == Value)
        return;
    readOnly_ = Value;
    if (HandleAllocated())
        SendMessageA(Handle(), EM_SETREADONLY, Value, 0);
}

void TCustomEditEx::SetAutoSize(bool Value) {
    if (autoSize_ == Value)
        return;
    autoSize_ = Value;
    UpdateFixedHeight();
}

void TCustomEditEx::SetCharCase(TEditCharCase Value) {
    if (charCase_ == Value)
        return;
    charCase_ = Value;
    RecreateWnd();
}

bool TCustomEditEx::TextModified() const {
    if (HandleAllocated())
        return SendMessageA(const_cast<TCustomEditEx *>(this)->Handle(), EM_GETMODIFY, 0, 0) != 0;
    return keptModified_;
}

void TCustomEditEx::SetTextModified(bool Value) {
    if (HandleAllocated())
        SendMessageA(Handle(), EM_SETMODIFY, Value, 0);
    else
        keptModified_ = Value;
}

void TCustomEditEx::ApplyMaxLength(int Value) { SendMessageA(Handle(), EM_LIMITTEXT, Value, 0); }

std::pair<int, int> TCustomEditEx::Selection() {
    DWORD start = 0, end = 0;
    SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
}

int TCustomEditEx::GetSelectionStart() { return Selection().first; }

int TCustomEditEx::GetSelectionLength() {
    const auto [start, end] = Selection();
    return end - start;
}

std::string TCustomEditEx::GetSelectedText() {
    const int start = GetSelectionStart(), length = GetSelectionLength();
    if (length <= 0)
        return {};
    const SecretText text(Text());
    if (start < 0 || start >= static_cast<int>(text->size()))
        return {};
    return std::string(std::string_view(*text).substr(start, length));
}

void TCustomEditEx::SetSelectionLength(int Value) {
    const int start = GetSelectionStart();
    SendMessageA(Handle(), EM_SETSEL, start, start + Value);
    SendMessageA(Handle(), EM_SCROLLCARET, 0, 0);
}

void TCustomEditEx::SetSelectionStart(int Value) { SendMessageA(Handle(), EM_SETSEL, Value, Value); }

void TCustomEditEx::ClearText() { SetWindowTextA(Handle(), ""); }

int TCustomEditEx::CopySelectedText(char *Buffer, int Size) {
    if (!Buffer || Size <= 0)
        return 0;
    const int start = GetSelectionStart();
    const SecretText text(Text());
    const int available = std::max(0, static_cast<int>(text->size()) - start);
    const int count = std::clamp(std::min(GetSelectionLength(), available), 0, Size - 1);
    std::copy_n(text->data() + std::min<size_t>(start, text->size()), count, Buffer);
    Buffer[count] = '\0';
    return count;
}

void TCustomEditEx::CopySelection() { SendMessageA(Handle(), WM_COPY, 0, 0); }
void TCustomEditEx::PasteText() { SendMessageA(Handle(), WM_PASTE, 0, 0); }
void TCustomEditEx::SelectWholeText() { SendMessageA(Handle(), EM_SETSEL, 0, -1); }

void TCustomEditEx::ApplyDef(const TControlDef &Def, TForm &Form) {
    TWinControl::ApplyDef(Def, Form);
    SetPasswordChar(Def.PasswordChar);
    SetMaxLength(Def.MaxLength);
    if (Def.OnEvent)
        OnChange = BindEvent(Def.OnEvent, Form);
}

void TCustomEditEx::NotifyChange() {
    Changed();
    if (OnChange)
        OnChange(this);
}

void TCustomEditEx::UpdateFixedHeight() {
    if (autoSize_ && borderStyle_ == bsSingle) {
        fixedHeight_ = true;
        FitHeightToFont();
    } else {
        fixedHeight_ = false;
    }
}

TCustomEditEx::TFontFit TCustomEditEx::MeasureFont() const {
    const ScopedDC dc(nullptr);
    TEXTMETRICA screen{}, own{};
    GetTextMetricsA(dc.get(), &screen);
    {
        const ScopedSelection font(dc.get(), FontHandle());
        GetTextMetricsA(dc.get(), &own);
    }
    return {own.tmHeight, std::min(screen.tmHeight, own.tmHeight) / 4};
}

void TCustomEditEx::FitHeightToFont() {
    const TFontFit fit = MeasureFont();
    TControl::SetBounds(Left(), Top(), Width(), fit.Height + fit.Margin + GetSystemMetrics(SM_CYBORDER) * 4);
}

void TCustomEditEx::CreateParams(TCreateParams &Params) {
    TWinControl::CreateParams(Params);
    Params.Kind = "EditEx";
    Params.SystemClass = "EDIT";
    Params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL | (borderStyle_ == bsSingle ? WS_BORDER : 0) |
                    (passwordChar_ ? ES_PASSWORD : 0) | (readOnly_ ? ES_READONLY : 0) |
                    (charCase_ == ecUpperCase ? ES_UPPERCASE : charCase_ == ecLowerCase ? ES_LOWERCASE : 0) |
                    (hideSelection_ ? 0 : ES_NOHIDESEL) | (oemConvert_ ? ES_OEMCONVERT : 0);
}


void TCustomEditEx::CreateWnd() {
    creating_ = true;
    {
        ScopeExit done{[this] { creating_ = false; }};
        TWinControl::CreateWnd();
    }
    ApplyMaxLength(maxLength_);
    SetTextModified(keptModified_);
    if (passwordChar_)
        SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(passwordChar_), 0);
    UpdateFixedHeight();
}

void TCustomEditEx::DestroyWnd() {
    keptModified_ = TextModified();
    TWinControl::DestroyWnd();
}

bool TCustomEditEx::Multiline() { return HandleAllocated() && (GetWindowLongA(Handle(), GWL_STYLE) & ES_MULTILINE); }

void TCustomEditEx::WndProc(TMessage &m) {
    if (m.Msg == WM_LBUTTONDOWN) {
        // A click takes the focus first, then places the caret: whatever the
        // focus entry selected gives way to the click. A click that cannot
        // take the focus (another field's check pulled it back) does nothing,
        // its release included.
        mouseDown_ = true;
        ScopeExit up{[this] { mouseDown_ = false; }};
        pressRefused_ = false;
        if (!Focused()) {
            ::SetFocus(Handle());
            if (!Focused()) {
                pressRefused_ = true;
                return;
            }
        }
        TWinControl::WndProc(m);
        return;
    }
    if (m.Msg == WM_LBUTTONUP && std::exchange(pressRefused_, false))
        return;
    // Without text on the clipboard a paste changes nothing (the system edit
    // would still clear the selection of a password field).
    if (m.Msg == WM_PASTE && !IsClipboardFormatAvailable(CF_TEXT))
        return;
    TWinControl::WndProc(m);
}

void TCustomEditEx::CommandNotify(WORD Code) {
    if (Code == EN_CHANGE && !creating_)
        NotifyChange();
}

// A single-line window reports a new text through EN_CHANGE itself.
void TCustomEditEx::TextChanged() {
    TWinControl::TextChanged();
    if (!HandleAllocated() || Multiline())
        NotifyChange();
}

void TCustomEditEx::FontChanged() {
    TWinControl::FontChanged();
    if (fixedHeight_)
        FitHeightToFont();
}

void TCustomEditEx::DoEnter() {
    if (autoSelect_ && !mouseDown_ && !Multiline())
        SelectWholeText();
    TWinControl::DoEnter();
}
