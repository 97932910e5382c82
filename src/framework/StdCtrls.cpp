#include "framework/StdCtrls.h"

#include <commctrl.h>

#include "base/DpiUnaware.h"
#include "framework/Framework.h"

// ---- TLabel

TLabel::TLabel(TComponent *Owner) : TWinControl(Owner) {}

void TLabel::SetAutoSize(bool v) {
    autoSize_ = v;
    AdjustBounds();
}

void TLabel::SetWordWrap(bool v) {
    if (wordWrap_ == v)
        return;
    wordWrap_ = v;
    RecreateWnd();
    AdjustBounds();
}

void TLabel::ApplyDef(const TControlDef &Def, TForm &Form) {
    TWinControl::ApplyDef(Def, Form);
    autoSize_ = Def.AutoSize;
    wordWrap_ = Def.WordWrap;
}

void TLabel::Loaded() {
    TWinControl::Loaded();
    AdjustBounds();
}

void TLabel::CreateParams(TCreateParams &Params) {
    TWinControl::CreateParams(Params);
    Params.Kind = "Label";
    Params.SystemClass = "STATIC";
    Params.Style |= SS_NOPREFIX | (wordWrap_ ? SS_LEFT : SS_LEFTNOWORDWRAP);
}

void TLabel::TextChanged() {
    TWinControl::TextChanged();
    AdjustBounds();
}

void TLabel::FontChanged() {
    TWinControl::FontChanged();
    AdjustBounds();
}

// The size of the text as the STATIC window draws it; an empty text is as
// high as one line.
void TLabel::AdjustBounds() {
    if (!autoSize_ || Loading())
        return;
    std::string text = Text();
    if (text.empty())
        text = " ";
    RECT r{0, 0, wordWrap_ ? Width() : 0, 0};
    {
        const ScopedDC dc(FontHandle());
        DrawTextA(dc.get(), text.c_str(), static_cast<int>(text.size()), &r,
                  DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX | (wordWrap_ ? DT_WORDBREAK : 0));
    }
    SetBounds(Left(), Top(), r.right, r.bottom);
}

// ---- TButton

TButton::TButton(TComponent *Owner) : TWinControl(Owner) { SetTabStop(true); }

void TButton::SetDefault(bool v) {
    default_ = v;
    SetActive(v);
}

void TButton::SetActive(bool v) {
    if (active_ == v)
        return;
    active_ = v;
    if (HandleAllocated())
        SendMessageA(Handle(), BM_SETSTYLE, v ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
    if (!Enabled())
        return;
    if (modalResult_ != mrNone)
        if (TForm *form = ParentForm())
            form->SetModalResult(modalResult_);
    TWinControl::Click();
}

void TButton::ApplyDef(const TControlDef &Def, TForm &Form) {
    TWinControl::ApplyDef(Def, Form);
    SetDefault(Def.Default);
    SetCancel(Def.Cancel);
    SetModalResult(Def.ModalResult);
    OnClick = BindEvent(Def.OnEvent, Form);
}

void TButton::CreateParams(TCreateParams &Params) {
    TWinControl::CreateParams(Params);
    Params.Kind = "Button";
    Params.SystemClass = "BUTTON";
    Params.Style |= active_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::CommandNotify(WORD Code) {
    if (Code == BN_CLICKED)
        Click();
}

// A press that cannot take the focus (a field's failed check kept it) neither
// pushes nor clicks the button.
void TButton::WndProc(TMessage &m) {
    if ((m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) && !Focused()) {
        ::SetFocus(Handle());
        if (!Focused())
            return;
    }
    TWinControl::WndProc(m);
}

// ---- TEdit

TEdit::TEdit(TComponent *Owner) : TWinControl(Owner) {
    SetTabStop(true);
    SetColor(clWindow);
}

void TEdit::SetPasswordChar(char v) {
    if (passwordChar_ == v)
        return;
    passwordChar_ = v;
    if (HandleAllocated()) {
        SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(v), 0);
        InvalidateRect(Handle(), nullptr, TRUE);
    }
}

void TEdit::SetMaxLength(int v) {
    maxLength_ = v;
    if (HandleAllocated())
        SendMessageA(Handle(), EM_LIMITTEXT, v, 0);
}

void TEdit::ApplyDef(const TControlDef &Def, TForm &Form) {
    TWinControl::ApplyDef(Def, Form);
    SetPasswordChar(Def.PasswordChar);
    SetMaxLength(Def.MaxLength);
    OnChange = BindEvent(Def.OnEvent, Form);
}

void TEdit::CreateParams(TCreateParams &Params) {
    TWinControl::CreateParams(Params);
    Params.Kind = "Edit";
    Params.SystemClass = "EDIT";
    Params.Style |= ES_AUTOHSCROLL | (passwordChar_ ? ES_PASSWORD : 0);
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::CreateWnd() {
    TWinControl::CreateWnd();
    if (passwordChar_)
        SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(passwordChar_), 0);
    SendMessageA(Handle(), EM_LIMITTEXT, maxLength_, 0);
}

void TEdit::CommandNotify(WORD Code) {
    if (Code == EN_CHANGE)
        Change();
}

// A window reports its changes through EN_CHANGE; without one, the new text is
// the change.
void TEdit::TextChanged() {
    TWinControl::TextChanged();
    if (!HandleAllocated())
        Change();
}

void TEdit::Change() {
    Changed();
    if (OnChange)
        OnChange(this);
}

// ---- TPanel, TShape

TPanel::TPanel(TComponent *Owner) : TWinControl(Owner) {}

void TPanel::ApplyDef(const TControlDef &Def, TForm &Form) {
    TWinControl::ApplyDef(Def, Form);
    BevelOuter = Def.BevelOuter;
}

void TPanel::CreateParams(TCreateParams &Params) {
    TWinControl::CreateParams(Params);
    Params.Kind = "Panel";
    Params.Style |= WS_CLIPCHILDREN;
    if (ProgressRole) {
        const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&classes);
        Params.SystemClass = PROGRESS_CLASSA;
        Params.Subclass = true;
    }
}

void TPanel::SetProgress(int Percent) {
    if (ProgressRole && HandleAllocated())
        SendMessageA(Handle(), PBM_SETPOS, Percent, 0);
}

void TPanel::Paint(HDC DC, const RECT &Client) {
    RECT r = Client;
    if (BevelOuter != bvNone)
        DrawEdge(DC, &r, BevelOuter == bvLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
}

TShape::TShape(TComponent *Owner) : TWinControl(Owner) { SetColor(0xFFFFFF); }

void TShape::CreateParams(TCreateParams &Params) {
    TWinControl::CreateParams(Params);
    Params.Kind = "Shape";
    Params.ClassStyle = CS_HREDRAW | CS_VREDRAW;
}

// The background is the fill.
void TShape::ColorChanged() {
    if (HandleAllocated())
        InvalidateRect(Handle(), nullptr, TRUE);
}

// ---- TTimer

void TTimer::SetEnabled(bool v) {
    enabled_ = v;
    Update();
}

void TTimer::SetInterval(unsigned v) {
    interval_ = v;
    Update();
}

void TTimer::SetOnTimer(TNotifyEvent Event) {
    onTimer_ = std::move(Event);
    Update();
}

void TTimer::ApplyDef(const TControlDef &Def, TForm &Form) {
    TComponent::ApplyDef(Def, Form);
    enabled_ = Def.Enabled;
    interval_ = Def.Interval;
    SetOnTimer(BindEvent(Def.OnEvent, Form));
}

void TTimer::Update() {
    if (!(enabled_ && interval_ && onTimer_)) {
        window_.reset();
        return;
    }
    if (!window_) {
        // Its ticks then run in the context of the windows they move.
        const DpiUnaware unaware;
        auto cls = Framework::RegisterWindowClass("Timer", nullptr, TimerWindowProc);
        window_.reset(CreateWindowExA(0, cls.Name, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Framework::Instance(),
                                      nullptr));
        if (!window_)
            throw Framework::Exception("cannot create the timer window");
        SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    if (!SetTimer(window_.get(), 1, interval_, nullptr))
        throw Framework::Exception("no timer left");
}

LRESULT CALLBACK TTimer::TimerWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg != WM_TIMER)
        return DefWindowProcA(Window, Msg, WParam, LParam);
    try {
        auto *timer = reinterpret_cast<TTimer *>(GetWindowLongPtrA(Window, GWLP_USERDATA));
        if (timer && timer->enabled_ && timer->onTimer_) {
            TNotifyEvent event = timer->onTimer_; // the handler may reassign it
            event(timer);
        }
    } catch (...) {
        Framework::HandleException();
    }
    return 0;
}
