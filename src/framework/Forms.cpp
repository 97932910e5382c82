#include "framework/Forms.h"

#include <algorithm>

#include "base/HostBarrier.h"
#include "base/DpiUnaware.h"
#include "framework/Framework.h"
#include "framework/StdCtrls.h"

TNotifyEvent BindEvent(TEventThunk Thunk, TForm &Form) {
    if (!Thunk)
        return nullptr;
    return [Thunk, &Form](TComponent *Sender) { Thunk(Form, Sender); };
}

namespace {
// Posted by Release.
constexpr UINT CM_RELEASE = WM_APP + 0x3F01;

struct DisabledWindows {
    HWND Except;
    std::vector<HWND> List;
    bool Failed = false;
};

BOOL CALLBACK CollectEnabledWindow(HWND Window, LPARAM Param) {
    auto &d = *reinterpret_cast<DisabledWindows *>(Param);
    try {
        if (Window != d.Except && IsWindowVisible(Window) && IsWindowEnabled(Window))
            d.List.push_back(Window);
        return TRUE;
    } catch (...) {
        d.Failed = true;
        return FALSE;
    }
}
} // namespace

TForm::TForm(TComponent *Owner) : TWinControl(Owner) {
    SetVisible(false);
    SetFont(DefaultFont);
    SetColor(clBtnFace);
}

TForm::~TForm() {
    std::erase(released_, this);
    // The derived form is gone: no focus events may reach its handlers.
    active_ = focused_ = nullptr;
    modal_ = false;
    destroying_ = true;
    DestroyHandle();
}

void TForm::LoadLayout(const TFormDef &Def) {
    BeginLoading();
    Name = Def.Name;
    SetText(Def.Caption);
    borderStyle_ = Def.BorderStyle;
    systemMenu_ = Def.SystemMenu;
    SetClientSize(Def.ClientWidth, Def.ClientHeight);
    SetFont(Def.Font);
    SetColor(Def.Color);
    OnCreate = BindEvent(Def.OnCreate, *this);
    OnShow = BindEvent(Def.OnShow, *this);
    if (Def.OnClose)
        OnClose = [this, t = Def.OnClose](TComponent *Sender, TCloseAction &Action) { t(*this, Sender, Action); };

    std::vector<TComponent *> loaded{this};
    for (const TControlDef &d : Def.Controls) {
        TComponent *c = d.Create(*this);
        c->BeginLoading();
        c->Name = d.Name;
        if (auto *control = dynamic_cast<TControl *>(c)) {
            auto *parent = d.Parent ? dynamic_cast<TWinControl *>(FindComponent(d.Parent)) : this;
            if (!parent)
                throw Framework::Exception(std::string("layout: no parent ") + d.Parent + " for " + d.Name);
            control->SetParent(parent);
        }
        c->ApplyDef(d, *this);
        if (d.More)
            d.More(*c);
        loaded.push_back(c);
    }
    for (TComponent *c : loaded)
        c->Loaded();
    if (OnCreate)
        OnCreate(this);
}

void TForm::Release() {
    if (std::find(released_.begin(), released_.end(), this) == released_.end())
        released_.push_back(this);
    PostMessageA(Handle(), CM_RELEASE, 0, 0);
}

void TForm::DestroyReleased() noexcept {
    const DWORD thread = GetCurrentThreadId();
    std::vector<TForm *> pending;
    pending.swap(released_);
    for (TForm *f : pending)
        if (!f->HandleAllocated() || GetWindowThreadProcessId(f->Handle(), nullptr) == thread)
            delete f;
}

void TForm::SetClientSize(int Width, int Height) {
    clientWidth_ = Width;
    clientHeight_ = Height;
    if (HandleAllocated()) {
        const DpiUnaware unaware;
        TCreateParams p;
        CreateParams(p);
        SetWindowPos(Handle(), nullptr, 0, 0, p.Width, p.Height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TForm::CreateParams(TCreateParams &Params) {
    TWinControl::CreateParams(Params);
    Params.Kind = "Form";
    // Shown by Show or ShowModal, never at creation.
    Params.Style = WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (Enabled() ? 0 : WS_DISABLED) |
                   (systemMenu_ ? WS_SYSMENU : 0);
    Params.ExStyle = 0;
    if (borderStyle_ == bsDialog) {
        Params.Style |= DS_MODALFRAME;
        Params.ExStyle |= WS_EX_DLGMODALFRAME;
    }
    RECT r{0, 0, clientWidth_, clientHeight_};
    AdjustWindowRectEx(&r, Params.Style, FALSE, Params.ExStyle);
    Params.Width = r.right - r.left;
    Params.Height = r.bottom - r.top;
    Params.X = (GetSystemMetrics(SM_CXSCREEN) - Params.Width) / 2;
    Params.Y = (GetSystemMetrics(SM_CYSCREEN) - Params.Height) / 2;
    Params.WndParent = OwnerWindow;
}

void TForm::Show() {
    if (Visible()) {
        BringWindowToTop(Handle());
        return;
    }
    SetVisible(true);
}

void TForm::VisibleChanged() {
    if (Visible()) {
        HWND window = Handle();
        if (OnShow)
            OnShow(this);
        ShowWindow(window, SW_SHOWNORMAL);
    } else if (HandleAllocated()) {
        ShowWindow(Handle(), SW_HIDE);
    }
}

int TForm::ShowModal() {
    if (Visible() || modal_)
        throw Framework::Exception("a visible window cannot be made modal");
    if (GetCapture())
        ReleaseCapture();
    HWND self = Handle();
    modalResult_ = mrNone;
    modal_ = true;
    {
        const LPCSTR cursor = Framework::ScreenCursor();
        Framework::SetScreenCursor(IDC_ARROW);
        DisabledWindows disabled{self, {}};
        EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
        for (HWND w : disabled.List)
            EnableWindow(w, FALSE);
        // Enabling sends the host's windows a message: behind the barrier too.
        ScopeExit restore{[&] {
            for (HWND w : disabled.List)
                HostBarrier::Guard([w] { EnableWindow(w, TRUE); });
            Framework::SetScreenCursor(cursor);
            modal_ = false;
        }};

        Show();
        bool quit = false;
        while (modalResult_ == mrNone) {
            // The loop serves the host's messages too: what its window
            // procedures raise ends the loop (the form is left to its owner).
            MSG msg{};
            int r = 1;
            HostBarrier::Guard([&] {
                r = GetMessageA(&msg, nullptr, 0, 0);
                if (r > 0)
                    Framework::ProcessMessage(msg);
            });
            HostBarrier::EndIfRaised();
            if (r <= 0) {
                // WM_QUIT belongs to the host's loop: hand it back and end as Cancel.
                if (r == 0)
                    PostQuitMessage(static_cast<int>(msg.wParam));
                modalResult_ = mrCancel;
                quit = true;
            }
            if (modalResult_ != mrNone && OnClose && !quit) {
                TCloseAction action = caHide;
                try {
                    OnClose(this, action);
                } catch (...) {
                    Framework::HandleException();
                    action = caNone;
                }
                if (action == caNone)
                    modalResult_ = mrNone;
            }
        }
    }
    Hide();
    return modalResult_;
}

void TForm::Close() {
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    TCloseAction action = caHide;
    if (OnClose)
        OnClose(this, action);
    if (action == caHide)
        Hide();
    else if (action == caFree)
        Release();
}

void TForm::SelectNext(TWinControl *From, bool Forward) {
    std::vector<TWinControl *> list;
    GetTabOrderList(list);
    std::erase_if(list, [From](TWinControl *c) { return c != From && !(c->TabStop() && c->CanFocus()); });
    if (list.empty())
        return;
    auto it = std::find(list.begin(), list.end(), From);
    size_t i = it == list.end() ? (Forward ? list.size() - 1 : 0) : size_t(it - list.begin());
    i = Forward ? (i + 1) % list.size() : (i + list.size() - 1) % list.size();
    if (list[i] != From)
        list[i]->SetFocus();
}

TButton *TForm::DialogButton(WORD Key) const {
    for (TComponent *c : Components())
        if (auto *b = dynamic_cast<TButton *>(c); b && (Key == VK_RETURN ? b->active_ : b->Cancel()))
            return b;
    return nullptr;
}

bool TForm::DialogKey(WORD Key, TShiftState Shift) {
    if (Shift & (ssAlt | ssCtrl))
        return false;
    if (Key == VK_TAB) {
        SelectNext(active_, !(Shift & ssShift));
        return true;
    }
    if (Key == VK_RETURN || Key == VK_ESCAPE) {
        if (TButton *b = DialogButton(Key); b && b->CanFocus()) {
            b->Click();
            return true;
        }
    }
    return false;
}

void TForm::UpdateDefaultButtons() {
    auto *focusedButton = dynamic_cast<TButton *>(active_);
    for (TComponent *c : Components())
        if (auto *b = dynamic_cast<TButton *>(c))
            b->SetActive(b == focusedButton || (b->Default() && !focusedButton));
}

void TForm::FocusChanged(TWinControl *Control) {
    if (destroying_)
        return;
    focused_ = Control;
    if (Control == active_)
        return;
    if (TWinControl *old = active_) {
        Exit(*old);
        if (focused_ != Control) // the exit handler moved the focus
            return;
    }
    active_ = Control;
    UpdateDefaultButtons();
    Enter(*Control);
}

// A control that takes the focus while the form is hidden gets it when the
// form is shown.
bool TForm::FocusWhenShown(TWinControl *Control) {
    if (HandleAllocated() && IsWindowVisible(Handle()))
        return false;
    active_ = Control;
    return true;
}

void TForm::ForgetControl(TWinControl *Control) {
    if (active_ == Control)
        active_ = nullptr;
    if (focused_ == Control)
        focused_ = nullptr;
}

void TForm::WndProc(TMessage &m) {
    switch (m.Msg) {
    case WM_ACTIVATE:
        if (LOWORD(m.WParam) != WA_INACTIVE && !HIWORD(m.WParam) && !destroying_) {
            // Back to the control that had the focus, else the first in tab order.
            TWinControl *target = active_ && active_->CanFocus() ? active_ : nullptr;
            if (!target) {
                std::vector<TWinControl *> list;
                GetTabOrderList(list);
                for (TWinControl *c : list)
                    if (c->TabStop() && c->CanFocus()) {
                        target = c;
                        break;
                    }
            }
            ::SetFocus(target ? target->Handle() : Handle());
            m.Result = 0;
            return;
        }
        break;
    case WM_SETFOCUS:
        if (active_ && active_->CanFocus() && !destroying_) {
            ::SetFocus(active_->Handle());
            return;
        }
        break;
    case WM_CLOSE:
        Close();
        return;
    case CM_RELEASE:
        DeleteAfterMessages();
        return;
    default:
        break;
    }
    TWinControl::WndProc(m);
}
