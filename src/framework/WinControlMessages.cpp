// A windowed control's messages: the one window procedure of the framework's
// windows, and WndProc's way from a message to the virtual handlers.
#include "framework/WinControl.h"

#include <utility>

#include "framework/Framework.h"

TWinControl *TWinControl::FindControl(HWND Window) {
    if (!Window)
        return nullptr;
    // A window of our classes, or a system class's window we subclassed.
    const auto proc = reinterpret_cast<ULONG_PTR>(&WindowProc);
    const bool ours = (GetClassLongPtrA(Window, GCLP_HMODULE) == reinterpret_cast<ULONG_PTR>(Framework::Instance()) &&
                       GetClassLongPtrA(Window, GCLP_WNDPROC) == proc) ||
                      static_cast<ULONG_PTR>(GetWindowLongPtrA(Window, GWLP_WNDPROC)) == proc;
    return ours ? reinterpret_cast<TWinControl *>(GetWindowLongPtrA(Window, GWLP_USERDATA)) : nullptr;
}

LRESULT CALLBACK TWinControl::WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto *c = reinterpret_cast<TWinControl *>(GetWindowLongPtrA(Window, GWLP_USERDATA));
    if (!c) {
        c = std::exchange(creating_, nullptr);
        if (!c)
            return DefWindowProcA(Window, Msg, WParam, LParam);
        SetWindowLongPtrA(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c));
        c->handle_.reset(Window);
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
        Framework::UnnameWindow(Window);
        SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
        c->handle_.release();
    }
    // Not while one of the window's own messages is still being handled.
    if (c->deletePending_ && c->dispatchDepth_ == 0) {
        c->deletePending_ = false;
        delete c;
    }
    return m.Result;
}

void TWinControl::WndProc(TMessage &m) {
    switch (m.Msg) {
    case WM_SETFOCUS:
        if (TWinControl *form = OwningForm()) {
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
    case WM_SYSKEYUP:
    case WM_CHAR:
        if (KeyMessage(m))
            return;
        break;
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        if (ReflectedMessage(m))
            return;
        break;
    case WM_ERASEBKGND:
    case WM_PAINT:
        if (OwnClassPaintMessage(m))
            return;
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

// The handlers may change the key, or take it with 0: then the window never
// sees it.
bool TWinControl::KeyMessage(TMessage &m) {
    if (m.Msg == WM_CHAR) {
        char key = static_cast<char>(m.WParam);
        KeyPress(key);
        m.WParam = static_cast<unsigned char>(key);
        return !key;
    }
    WORD key = static_cast<WORD>(m.WParam);
    if (m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN)
        KeyDown(key, KeyboardShiftState());
    else
        KeyUp(key, KeyboardShiftState());
    m.WParam = key;
    return !key;
}

// A child's notification and colour query come to its parent's window and go
// back to the child.
bool TWinControl::ReflectedMessage(TMessage &m) {
    TWinControl *c = FindControl(reinterpret_cast<HWND>(m.LParam));
    if (m.Msg == WM_COMMAND) {
        if (!c || c == this)
            return false;
        c->CommandNotify(HIWORD(m.WParam));
        return true;
    }
    if (!c)
        return false;
    m.Result = reinterpret_cast<LRESULT>(c->CtlColor(reinterpret_cast<HDC>(m.WParam)));
    return true;
}

// Windows of an own class or a subclassed system class paint their background
// and then themselves; a superclassed system class paints as the system does.
bool TWinControl::OwnClassPaintMessage(TMessage &m) {
    if (defaultProc_ != DefWindowProcA && !subclassed_)
        return false;
    RECT r;
    GetClientRect(handle_.get(), &r);
    if (m.Msg == WM_ERASEBKGND) {
        FillRect(reinterpret_cast<HDC>(m.WParam), &r, BackgroundBrush());
        m.Result = 1;
        return true;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(handle_.get(), &ps);
    ScopeExit end{[&] { EndPaint(handle_.get(), &ps); }};
    Paint(dc, r);
    return true;
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
