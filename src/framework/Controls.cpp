#include "framework/Controls.h"

#include <algorithm>
#include <climits>
#include <new>
#include <utility>

#include "framework/Forms.h"
#include "framework/Framework.h"

namespace {
// The control whose window CreateWindowEx is making: the window's first
// message binds it (top-level windows get WM_GETMINMAXINFO before WM_NCCREATE).
constinit TWinControl *g_creating = nullptr;
// Posted by TForm::Release.
constexpr UINT CM_RELEASE = WM_APP + 0x3F01;
} // namespace

COLORREF ColorToRGB(TColor Color) {
    return Color < 0 ? GetSysColor(Color & 0xFF) : static_cast<COLORREF>(Color);
}

TShiftState KeyboardShiftState() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        s |= ssShift;
    if (GetKeyState(VK_MENU) < 0)
        s |= ssAlt;
    if (GetKeyState(VK_CONTROL) < 0)
        s |= ssCtrl;
    return s;
}

// ---- TComponent

TComponent::TComponent(TComponent *Owner) : owner_(Owner) {
    if (owner_)
        owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    while (!components_.empty())
        delete components_.back(); // each one leaves the list itself
    if (owner_)
        std::erase(owner_->components_, this);
}

TComponent *TComponent::FindComponent(std::string_view Name) const {
    for (TComponent *c : components_)
        if (c->Name == Name)
            return c;
    return nullptr;
}

void TComponent::ApplyDef(const TControlDef &, TForm &) {}

// ---- TControl

TControl::~TControl() {
    SetParent(nullptr);
    Wipe(text_);
}

void TControl::SetParent(TWinControl *Parent) {
    if (parent_ == Parent)
        return;
    auto *self = dynamic_cast<TWinControl *>(this);
    if (self && self->HandleAllocated())
        self->DestroyHandle();
    if (parent_)
        std::erase(parent_->children_, this);
    parent_ = Parent;
    if (parent_)
        parent_->children_.push_back(this);
}

TForm *TControl::ParentForm() const {
    const TControl *c = this;
    while (c->parent_)
        c = c->parent_;
    return dynamic_cast<TForm *>(const_cast<TControl *>(c));
}

void TControl::SetBounds(int Left, int Top, int Width, int Height) {
    if (Left == left_ && Top == top_ && Width == width_ && Height == height_)
        return;
    left_ = Left, top_ = Top, width_ = Width, height_ = Height;
    BoundsChanged();
}

void TControl::StoreText(std::string Text) {
    Wipe(text_);
    text_.swap(Text);
    Wipe(Text);
}

// Texts let go are wiped: a password field's text passes through here.
void TControl::SetText(std::string Text) {
    WipeOnExit wipe(Text);
    std::string current = this->Text();
    const bool same = Text == current;
    Wipe(current);
    if (same)
        return;
    Wipe(text_);
    text_.swap(Text);
    TextChanged();
}

const TFontDef &TControl::Font() const { return parentFont_ && parent_ ? parent_->Font() : font_; }

void TControl::SetFont(const TFontDef &Font) {
    font_ = Font;
    parentFont_ = Font.Height == 0;
    fontHandle_.reset();
    FontChanged();
}

HFONT TControl::FontHandle() const {
    if (parentFont_ && parent_)
        return parent_->FontHandle();
    if (!fontHandle_)
        fontHandle_.reset(CreateFontA(font_.Height, 0, 0, 0, font_.Bold ? FW_BOLD : FW_NORMAL, 0, 0, 0,
                                      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH | FF_DONTCARE, font_.Name));
    return fontHandle_.get();
}

void TControl::FontChanged() {}

TColor TControl::Color() const {
    if (color_ != clDefault)
        return color_;
    return parent_ ? parent_->Color() : clBtnFace;
}

void TControl::SetColor(TColor Color) {
    if (Color == color_)
        return;
    color_ = Color;
    ColorChanged();
}

void TControl::SetEnabled(bool Enabled) {
    if (Enabled == enabled_)
        return;
    enabled_ = Enabled;
    EnabledChanged();
}

void TControl::SetVisible(bool Visible) {
    if (Visible == visible_)
        return;
    visible_ = Visible;
    VisibleChanged();
}

void TControl::Changed() {
    if (parent_)
        parent_->ChildChanged(this);
}

void TControl::Click() {
    if (OnClick)
        OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick)
        OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
}

void TControl::ApplyDef(const TControlDef &Def, TForm &Form) {
    TComponent::ApplyDef(Def, Form);
    SetBounds(Def.Left, Def.Top, Def.Width, Def.Height);
    if (Def.Caption)
        SetText(Def.Caption);
    if (Def.Font.Height)
        SetFont(Def.Font);
    if (Def.Color != clDefault)
        SetColor(Def.Color);
    SetEnabled(Def.Enabled);
    SetVisible(Def.Visible);
}

// ---- TWinControl

TWinControl *FindControl(HWND Window) {
    if (!Window || GetClassLongPtrA(Window, GCLP_HMODULE) != reinterpret_cast<ULONG_PTR>(Framework::Instance()) ||
        GetClassLongPtrA(Window, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(&ControlWindowProc))
        return nullptr;
    return reinterpret_cast<TWinControl *>(GetWindowLongPtrA(Window, GWLP_USERDATA));
}

LRESULT CALLBACK ControlWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto *c = reinterpret_cast<TWinControl *>(GetWindowLongPtrA(Window, GWLP_USERDATA));
    if (!c) {
        c = std::exchange(g_creating, nullptr);
        if (!c)
            return DefWindowProcA(Window, Msg, WParam, LParam);
        SetWindowLongPtrA(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c));
        c->handle_.reset(Window);
    }
    if (Msg == CM_RELEASE) {
        // Not while one of the form's own messages is still being handled.
        if (c->dispatchDepth_ > 0)
            c->releasePending_ = true;
        else
            delete c;
        return 0;
    }
    TMessage m{Msg, WParam, LParam, 0};
    ++c->dispatchDepth_;
    try {
        c->WndProc(m);
    } catch (...) {
        Framework::HandleException();
    }
    --c->dispatchDepth_;
    if (Msg == WM_NCDESTROY) {
        SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
        c->handle_.release();
    }
    if (c->releasePending_ && c->dispatchDepth_ == 0) {
        c->releasePending_ = false;
        delete c;
    }
    return m.Result;
}

TWinControl::~TWinControl() {
    if (TForm *form = ParentForm(); form && form != this)
        form->ForgetControl(this);
    for (TControl *child : children_)
        child->parent_ = nullptr;
    children_.clear();
    DestroyHandle();
}

HWND TWinControl::Handle() {
    if (!handle_) {
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
    for (const TControl *c = this; c; c = c->parent_)
        if (!c->visible_ || !c->enabled_)
            return false;
    return ParentForm() != nullptr;
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_.get(); }

void TWinControl::SetFocus() {
    TForm *form = ParentForm();
    if (form && form != this && !(form->HandleAllocated() && IsWindowVisible(form->handle_.get()))) {
        form->active_ = this; // takes the focus when the form is shown
        return;
    }
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
    Params.Caption = text_; // wiped by CreateWnd: it may be a password
}

void TWinControl::CreateWindowHandle(const TCreateParams &Params) {
    auto cls = Framework::RegisterWindowClass(Params.Kind, Params.SystemClass, ControlWindowProc, Params.ClassStyle);
    defaultProc_ = cls.DefaultProc;
    g_creating = this;
    HWND window = CreateWindowExA(Params.ExStyle, cls.Name, Params.Caption.c_str(), Params.Style, Params.X, Params.Y,
                                  Params.Width, Params.Height, Params.WndParent, nullptr, Framework::Instance(), nullptr);
    g_creating = nullptr;
    if (!window)
        throw Framework::Exception(std::string("cannot create the window ") + Name);
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    WipeOnExit wipe(params.Caption);
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
        StoreText({});
    }
    for (std::size_t i = 0; i < children_.size(); ++i)
        if (auto *w = dynamic_cast<TWinControl *>(children_[i]))
            w->DestroyHandle();
    // The handle stays set while the window is destroyed: its last messages
    // still go to the class's procedure with it. WM_NCDESTROY releases it.
    DestroyWindow(handle_.get());
    handle_.release();
}

void TWinControl::WndProc(TMessage &m) {
    const bool ownClass = defaultProc_ == DefWindowProcA;
    switch (m.Msg) {
    case WM_SETFOCUS:
        if (TForm *form = ParentForm(); form && form != this) {
            form->FocusChanged(this);
            // A failed exit check took the focus back: this window's own focus
            // handling would put caret and focus frame where the focus is not.
            if (GetFocus() != handle_.get())
                return;
        }
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        DefaultHandler(m);
        MouseMessage(m);
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        WORD key = static_cast<WORD>(m.WParam);
        if (m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN)
            KeyDown(key, KeyboardShiftState());
        else
            KeyUp(key, KeyboardShiftState());
        if (!key)
            return;
        m.WParam = key;
        break;
    }
    case WM_CHAR: {
        char key = static_cast<char>(m.WParam);
        KeyPress(key);
        if (!key)
            return;
        m.WParam = static_cast<unsigned char>(key);
        break;
    }
    case WM_COMMAND:
        if (TWinControl *c = FindControl(reinterpret_cast<HWND>(m.LParam)); c && c != this) {
            c->CommandNotify(HIWORD(m.WParam));
            return;
        }
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        if (TWinControl *c = FindControl(reinterpret_cast<HWND>(m.LParam))) {
            m.Result = reinterpret_cast<LRESULT>(c->CtlColor(reinterpret_cast<HDC>(m.WParam)));
            return;
        }
        break;
    case WM_ERASEBKGND:
        if (ownClass) {
            RECT r;
            GetClientRect(handle_.get(), &r);
            FillRect(reinterpret_cast<HDC>(m.WParam), &r, BackgroundBrush());
            m.Result = 1;
            return;
        }
        break;
    case WM_PAINT:
        if (ownClass) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(handle_.get(), &ps);
            ScopeExit end{[&] { EndPaint(handle_.get(), &ps); }};
            RECT r;
            GetClientRect(handle_.get(), &r);
            Paint(dc, r);
            return;
        }
        break;
    case WM_SETCURSOR:
        if (Framework::ScreenCursor() != IDC_ARROW) {
            SetCursor(LoadCursorA(nullptr, Framework::ScreenCursor()));
            m.Result = TRUE;
            return;
        }
        break;
    default:
        break;
    }
    DefaultHandler(m);
}

void TWinControl::DefaultHandler(TMessage &m) {
    m.Result = CallWindowProcA(defaultProc_, handle_.get(), m.Msg, m.WParam, m.LParam);
}

void TWinControl::MouseMessage(const TMessage &m) {
    const int x = static_cast<short>(LOWORD(m.LParam)), y = static_cast<short>(HIWORD(m.LParam));
    const auto keys = static_cast<unsigned>(m.WParam);
    auto flag = [](bool on, TShiftFlag f) { return on ? TShiftState(f) : 0u; };
    const TShiftState shift = flag(keys & MK_SHIFT, ssShift) | flag(keys & MK_CONTROL, ssCtrl) |
                              flag(GetKeyState(VK_MENU) < 0, ssAlt) | flag(keys & MK_LBUTTON, ssLeft) |
                              flag(keys & MK_RBUTTON, ssRight) | flag(keys & MK_MBUTTON, ssMiddle);
    if (m.Msg == WM_MOUSEMOVE) {
        MouseMove(shift, x, y);
        return;
    }
    // Down, up and double click of the left, right and middle button follow
    // each other in this order from WM_LBUTTONDOWN on.
    static_assert(WM_MBUTTONDBLCLK - WM_LBUTTONDOWN == 8 && WM_RBUTTONDOWN - WM_LBUTTONDOWN == 3);
    const auto button = static_cast<TMouseButton>((m.Msg - WM_LBUTTONDOWN) / 3);
    switch ((m.Msg - WM_LBUTTONDOWN) % 3) {
    case 0:
        if (button == mbLeft)
            clicked_ = ClickEvents;
        MouseDown(button, shift, x, y);
        break;
    case 1:
        if (button == mbLeft && std::exchange(clicked_, false)) {
            RECT r{};
            if (handle_)
                GetClientRect(handle_.get(), &r);
            if (PtInRect(&r, POINT{x, y}))
                Click();
        }
        MouseUp(button, shift, x, y);
        break;
    default:
        if (button == mbLeft && ClickEvents)
            DblClick();
        MouseDown(button, shift | ssDouble, x, y);
        break;
    }
}

void TWinControl::KeyDown(WORD &Key, TShiftState Shift) {
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(WORD &Key, TShiftState Shift) {
    if (OnKeyUp)
        OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char &Key) {
    if (OnKeyPress)
        OnKeyPress(this, Key);
}

void TWinControl::DoEnter() {
    if (OnEnter)
        OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit)
        OnExit(this);
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
        SetWindowTextA(handle_.get(), text_.c_str()); // no copy: it may be a password
}

void TWinControl::FontChanged() {
    if (handle_)
        SendMessageA(handle_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
    for (TControl *c : children_)
        if (c->ParentFont())
            c->FontChanged();
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
    if (handle_)
        SetWindowPos(handle_.get(), nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- TForm's release, here because it shares the message number

void TForm::Release() {
    if (std::find(released_.begin(), released_.end(), this) == released_.end())
        released_.push_back(this);
    PostMessageA(Handle(), CM_RELEASE, 0, 0);
}
