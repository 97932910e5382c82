#pragma once
// Windowed controls. A windowed control keeps its properties while it has no
// window and creates the window on demand from its creation parameters; each
// message goes through WndProc to virtual handlers, and no exception leaves
// the window procedure.
#include <windows.h>

#include <string>
#include <vector>

#include "base/Handles.h"
#include "framework/Control.h"

struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

// Creation parameters of a control's window.
struct TCreateParams {
    const char *Kind = nullptr;        // class name "ImpApi_tolva.<Kind>"
    const char *SystemClass = nullptr; // the superclassed system class, or an own class
    UINT ClassStyle = 0;               // own classes only
    DWORD Style = 0, ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    SecretText Caption; // it may be a password
    // The window is of SystemClass itself, subclassed instead of superclassed:
    // it lends its class name and messages (what accessibility clients know a
    // control by) and paints as an own class does.
    bool Subclass = false;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent *Owner) : TControl(Owner) {}
    ~TWinControl() override;
    // The control whose window this is, if it is one of the framework's windows.
    static TWinControl *FindControl(HWND Window);

    HWND Handle(); // creates the window (and its parents') on demand
    bool HandleAllocated() const { return static_cast<bool>(handle_); }
    void HandleNeeded() { Handle(); }
    void DestroyHandle();
    void RecreateWnd();

    std::string Text() const override;
    // The text's length, without copying the text.
    int TextLength() const;
    const std::vector<TControl *> &Controls() const { return children_; }

    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int TabOrder) { tabOrder_ = TabOrder; }
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool TabStop);
    bool CanFocus() const;
    bool Focused() const;
    void SetFocus();
    // The focusable controls below this one in tab order, depth first.
    void GetTabOrderList(std::vector<TWinControl *> &List);

    LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
    // A key-down taken from the queue before it is translated: Tab, Enter and
    // Escape go to the form unless the control wants them. True when consumed.
    bool PreviewKeyDown(const MSG &Msg);

    void ApplyDef(const TControlDef &Def, TForm &Form) override;

    TNotifyEvent OnEnter, OnExit;
    TKeyEvent OnKeyDown, OnKeyUp;
    TKeyPressEvent OnKeyPress;

protected:
    virtual void CreateParams(TCreateParams &Params);
    virtual void CreateWindowHandle(const TCreateParams &Params);
    // Creates the window, applies font and state, then the children's windows.
    virtual void CreateWnd();
    // Keeps the text, destroys the children's windows, then its own.
    virtual void DestroyWnd();

    // Every message of the window arrives here first; DefaultHandler passes it
    // to the class's default procedure.
    virtual void WndProc(TMessage &Message);
    void DefaultHandler(TMessage &Message);

    virtual void KeyDown(WORD &Key, TShiftState Shift);
    virtual void KeyUp(WORD &Key, TShiftState Shift);
    virtual void KeyPress(char &Key);
    // Focus moved to or from this control within its form.
    virtual void DoEnter();
    virtual void DoExit();
    // The control's WM_COMMAND notification, reflected from its parent.
    virtual void CommandNotify(WORD) {}
    // Colours for WM_CTLCOLORxxx, reflected from the parent.
    virtual HBRUSH CtlColor(HDC DC);
    // Own classes: paints the client area (after the background).
    virtual void Paint(HDC, const RECT &) {}
    // Keys the control wants although WM_GETDLGCODE does not ask for them.
    virtual bool WantsSpecialKey(WORD) { return false; }

    HBRUSH BackgroundBrush();
    void TextChanged() override;
    void FontChanged() override;
    void ColorChanged() override;
    void EnabledChanged() override;
    void VisibleChanged() override;
    void BoundsChanged() override;

    // A form's part in the focus of its controls. A control tells the form it
    // belongs to when it takes the focus and when it goes, and lets the form
    // keep a focus set while the form is hidden. Only forms act on them.
    virtual void FocusChanged(TWinControl *) {}
    virtual bool FocusWhenShown(TWinControl *) { return false; }
    virtual void ForgetControl(TWinControl *) {}
    // The form's calls of its controls' focus handlers.
    static void Enter(TWinControl &Control) { Control.DoEnter(); }
    static void Exit(TWinControl &Control) { Control.DoExit(); }
    // Deletes this control once the messages its window is handling now are
    // done (a form's release).
    void DeleteAfterMessages() { deletePending_ = true; }

private:
    // SetParent keeps both ends of the parent link.
    friend class TControl;
    // The control whose window CreateWindowEx is making: the window's first
    // message binds it (top-level windows get WM_GETMINMAXINFO before WM_NCCREATE).
    static constinit inline TWinControl *creating_ = nullptr;
    // The one window procedure of the framework's controls.
    static LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
    // The form that this control belongs to, if it is not one itself.
    TWinControl *OwningForm() const;
    // Parts of WndProc: true when the message is done with.
    bool KeyMessage(TMessage &Message);
    // Mouse messages after their default handling: the mouse events, and the
    // click of a left release that follows a left press inside the control.
    void MouseMessage(const TMessage &Message);
    bool ReflectedMessage(TMessage &Message);
    bool OwnClassPaintMessage(TMessage &Message);

    UniqueWindow handle_;
    WNDPROC defaultProc_ = DefWindowProcA;
    bool subclassed_ = false;
    std::vector<TControl *> children_;
    UniqueBrush brush_;
    TColor brushColor_ = clDefault;
    int tabOrder_ = -1;
    bool tabStop_ = false;
    int dispatchDepth_ = 0;
    bool deletePending_ = false;
    bool clicked_ = false;
};
