// A windowed control's life: its window, made on demand and kept in step with
// its properties, its children, and its place in the focus order.
#include "framework/WinControl.h"

#include <algorithm>
#include <climits>
#include <new>

#include "base/DpiUnaware.h"
#include "framework/Forms.h"
#include "framework/Framework.h"

TWinControl::~TWinControl() {
    if (TWinControl *form = OwningForm())
        form->ForgetControl(this);
    while (!children_.empty())
        children_.back()->SetParent(nullptr);
    DestroyHandle();
}

TWinControl *TWinControl::OwningForm() const {
    TWinControl *form = ParentForm();
    return form != this ? form : nullptr;
}

// The plug-in's windows are made in the DPI-unaware context whatever the host
// declared (DpiUnaware.h): their layouts are in 96-dpi pixels.
HWND TWinControl::Handle() {
    if (!handle_) {
        const DpiUnaware unaware;
        if (Parent())
            Parent()->HandleNeeded(); // creates this one as well
        if (!handle_)
            CreateWnd();
    }
    return handle_.get();
}

void TWinControl::DestroyHandle() {
    if (handle_)
        DestroyWnd();
}

void TWinControl::RecreateWnd() {
    if (!handle_)
        return;
    DestroyHandle();
    HandleNeeded();
}

std::string TWinControl::Text() const {
    if (!handle_)
        return TControl::Text();
    int length = GetWindowTextLengthA(handle_.get());
    std::string text(length, '\0');
    text.resize(GetWindowTextA(handle_.get(), text.data(), length + 1));
    return text;
}

int TWinControl::TextLength() const {
    return handle_ ? GetWindowTextLengthA(handle_.get()) : static_cast<int>(TControl::Text().size());
}

void TWinControl::SetTabStop(bool TabStop) {
    if (tabStop_ == TabStop)
        return;
    tabStop_ = TabStop;
    if (handle_) {
        LONG style = GetWindowLongA(handle_.get(), GWL_STYLE);
        SetWindowLongA(handle_.get(), GWL_STYLE, TabStop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
}

bool TWinControl::CanFocus() const {
    for (const TControl *c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled())
            return false;
    return ParentForm() != nullptr;
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_.get(); }

void TWinControl::SetFocus() {
    if (TWinControl *form = OwningForm(); form && form->FocusWhenShown(this))
        return;
    ::SetFocus(Handle());
}

void TWinControl::GetTabOrderList(std::vector<TWinControl *> &List) {
    std::vector<TWinControl *> children;
    for (TControl *c : children_)
        if (auto *w = dynamic_cast<TWinControl *>(c))
            children.push_back(w);
    std::stable_sort(children.begin(), children.end(), [](TWinControl *a, TWinControl *b) {
        return (a->tabOrder_ < 0 ? INT_MAX : a->tabOrder_) < (b->tabOrder_ < 0 ? INT_MAX : b->tabOrder_);
    });
    for (TWinControl *w : children) {
        List.push_back(w);
        w->GetTabOrderList(List);
    }
}

LRESULT TWinControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    return SendMessageA(Handle(), Msg, WParam, LParam);
}

bool TWinControl::PreviewKeyDown(const MSG &Msg) {
    WORD key = static_cast<WORD>(Msg.wParam);
    LRESULT mask = 0;
    switch (key) {
    case VK_TAB: mask = DLGC_WANTTAB; break;
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: mask = DLGC_WANTARROWS; break;
    case VK_RETURN: case VK_EXECUTE: case VK_ESCAPE: case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
    default: return false;
    }
    if (WantsSpecialKey(key) || (SendMessageA(Msg.hwnd, WM_GETDLGCODE, 0, 0) & mask))
        return false;
    TForm *form = ParentForm();
    return form && form->DialogKey(key, KeyboardShiftState());
}

void TWinControl::ApplyDef(const TControlDef &Def, TForm &Form) {
    TControl::ApplyDef(Def, Form);
    SetTabOrder(Def.TabOrder);
}

void TWinControl::CreateParams(TCreateParams &Params) {
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS | (Visible() ? WS_VISIBLE : 0) | (Enabled() ? 0 : WS_DISABLED) |
                   (tabStop_ ? WS_TABSTOP : 0);
    Params.X = Left();
    Params.Y = Top();
    Params.Width = Width();
    Params.Height = Height();
    Params.WndParent = Parent() ? Parent()->Handle() : nullptr;
    *Params.Caption = *StoredText();
}

void TWinControl::CreateWindowHandle(const TCreateParams &Params) {
    const char *className = Params.SystemClass;
    subclassed_ = Params.Subclass;
    if (!subclassed_) {
        auto cls = Framework::RegisterWindowClass(Params.Kind, Params.SystemClass, WindowProc, Params.ClassStyle);
        className = cls.Name;
        defaultProc_ = cls.DefaultProc;
        creating_ = this;
    }
    HWND window = CreateWindowExA(Params.ExStyle, className, Params.Caption->c_str(), Params.Style, Params.X, Params.Y,
                                  Params.Width, Params.Height, Params.WndParent, nullptr, Framework::Instance(), nullptr);
    creating_ = nullptr;
    if (!window)
        throw Framework::Exception(std::string("cannot create the window ") + Name);
    if (subclassed_) {
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        handle_.reset(window);
        defaultProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
    }
    Framework::NameWindow(window, Name);
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    CreateWindowHandle(params);
    SendMessageA(handle_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
    for (TControl *c : std::vector<TControl *>(children_))
        if (auto *w = dynamic_cast<TWinControl *>(c))
            w->HandleNeeded();
}

// Runs in destructors too, so it allocates nothing it cannot do without:
// without memory for the kept text the text is lost, the window still goes.
void TWinControl::DestroyWnd() {
    try {
        StoreText(Text());
    } catch (const std::bad_alloc &) {
        StoreText(SecretText());
    }
    for (std::size_t i = 0; i < children_.size(); ++i)
        if (auto *w = dynamic_cast<TWinControl *>(children_[i]))
            w->DestroyHandle();
    // The handle stays set while the window is destroyed: its last messages
    // still go to the class's procedure with it. WM_NCDESTROY releases it.
    DestroyWindow(handle_.get());
    handle_.release();
}

HBRUSH TWinControl::BackgroundBrush() {
    if (!brush_ || brushColor_ != Color()) {
        brushColor_ = Color();
        brush_.reset(CreateSolidBrush(ColorToRGB(brushColor_)));
    }
    return brush_.get();
}

HBRUSH TWinControl::CtlColor(HDC DC) {
    SetTextColor(DC, ColorToRGB(Font().Color));
    SetBkColor(DC, ColorToRGB(Color()));
    return BackgroundBrush();
}

void TWinControl::TextChanged() {
    if (handle_)
        SetWindowTextA(handle_.get(), StoredText()->c_str()); // no copy: it may be a password
}

void TWinControl::FontChanged() {
    if (handle_)
        SendMessageA(handle_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
    for (TControl *c : children_)
        ParentFontChanged(*c);
}

void TWinControl::ColorChanged() {
    if (handle_)
        RedrawWindow(handle_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TWinControl::EnabledChanged() {
    if (handle_)
        EnableWindow(handle_.get(), Enabled());
}

void TWinControl::VisibleChanged() {
    if (handle_)
        ShowWindow(handle_.get(), Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::BoundsChanged() {
    const DpiUnaware unaware;
    if (handle_)
        SetWindowPos(handle_.get(), nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}
