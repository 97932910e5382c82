#pragma once
// Components, controls and windowed controls. A windowed control keeps its
// properties while it has no window and creates the window on demand from its
// creation parameters; each message goes through WndProc to virtual handlers,
// and no exception leaves the window procedure.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Handles.h"

class TComponent;
class TWinControl;
class TForm;
struct TControlDef;

// Colours: an RGB value 0x00BBGGRR, or a system colour 0x80000000 | COLOR_xxx.
using TColor = int32_t;
constexpr TColor clDefault = 0x20000000; // the parent's colour
constexpr TColor clRed = 0x0000FF;
constexpr TColor SysColor(int index) { return static_cast<TColor>(0x80000000u | unsigned(index)); }
constexpr TColor clBtnFace = SysColor(COLOR_BTNFACE), clWindow = SysColor(COLOR_WINDOW),
                 clWindowText = SysColor(COLOR_WINDOWTEXT), clHighlight = SysColor(COLOR_HIGHLIGHT);
COLORREF ColorToRGB(TColor Color);

// A font description; Height in pixels (negative: character height), 0: the
// parent's font.
struct TFontDef {
    int Height = 0;
    bool Bold = false;
    TColor Color = clWindowText;
    const char *Name = "MS Sans Serif";
    bool operator==(const TFontDef &) const = default;
};
// The forms' font, MS Sans Serif 8 point at 96 dpi. A control that has no
// parent yet is measured with it: it is what the control will show.
constexpr TFontDef DefaultFont = {.Height = -11};

// Keys and mouse buttons held, and ssDouble for the second press of a double click.
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;
TShiftState KeyboardShiftState();
enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

constexpr int mrNone = 0, mrOk = 1, mrCancel = 2;

using TNotifyEvent = std::function<void(TComponent *Sender)>;
using TKeyEvent = std::function<void(TComponent *Sender, WORD &Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TComponent *Sender, char &Key)>;
// X and Y: the position in the control's client area.
using TMouseEvent = std::function<void(TComponent *Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TComponent *Sender, TShiftState Shift, int X, int Y)>;

struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

// Owns the components created with it as owner and destroys them with itself.
class TComponent {
public:
    explicit TComponent(TComponent *Owner);
    virtual ~TComponent();
    TComponent(const TComponent &) = delete;
    TComponent &operator=(const TComponent &) = delete;

    std::string Name;

    TComponent *Owner() const { return owner_; }
    const std::vector<TComponent *> &Components() const { return components_; }
    TComponent *FindComponent(std::string_view Name) const;

    // Set while a layout is applied; Loaded ends it.
    bool Loading() const { return loading_; }
    void BeginLoading() { loading_ = true; }
    virtual void Loaded() { loading_ = false; }
    // Applies the common and the class's own properties of a layout entry.
    virtual void ApplyDef(const TControlDef &Def, TForm &Form);

private:
    TComponent *owner_;
    std::vector<TComponent *> components_;
    bool loading_ = false;
};

// Bounds, text, font, colour, enabled and visible; the parent is a windowed control.
class TControl : public TComponent {
public:
    explicit TControl(TComponent *Owner) : TComponent(Owner) {}
    ~TControl() override;

    TWinControl *Parent() const { return parent_; }
    void SetParent(TWinControl *Parent);
    TForm *ParentForm() const;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int Left, int Top, int Width, int Height);

    virtual std::string Text() const { return text_; }
    void SetText(std::string Text);

    const TFontDef &Font() const;
    void SetFont(const TFontDef &Font);
    bool ParentFont() const { return parentFont_; }
    HFONT FontHandle() const;

    TColor Color() const;
    void SetColor(TColor Color);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool Enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool Visible);

    void ApplyDef(const TControlDef &Def, TForm &Form) override;

    // OnClick and OnDblClick come from the mouse only for controls that react
    // to clicks (ClickEvents); a button clicks through its own notification.
    TNotifyEvent OnClick, OnDblClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    // The help topic that errors of this control refer to; 0: none.
    int HelpContext = 0;

protected:
    // Notifications after a property changed.
    virtual void TextChanged() {}
    virtual void FontChanged();
    virtual void ColorChanged() {}
    virtual void EnabledChanged() {}
    virtual void VisibleChanged() {}
    virtual void BoundsChanged() {}
    // The control's content changed: tells the parent.
    virtual void Changed();
    virtual void ChildChanged(TControl *) {}
    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    // Set by controls that react to clicks: a left press and release inside
    // the control calls Click, a left double click DblClick.
    bool ClickEvents = false;
    void StoreText(std::string Text);

private:
    friend class TWinControl;
    friend class TForm;
    TWinControl *parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::string text_;
    TFontDef font_ = DefaultFont;
    bool parentFont_ = true;
    mutable UniqueFont fontHandle_;
    TColor color_ = clDefault;
    bool enabled_ = true, visible_ = true;
};

// Creation parameters of a control's window.
struct TCreateParams {
    const char *Kind = nullptr;        // class name "ImpApi_tolva.<Kind>"
    const char *SystemClass = nullptr; // the superclassed system class, or an own class
    UINT ClassStyle = 0;               // own classes only
    DWORD Style = 0, ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    std::string Caption;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent *Owner) : TControl(Owner) {}
    ~TWinControl() override;

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
    // Mouse messages after their default handling: the mouse events, and the
    // click of a left release that follows a left press inside the control.
    void MouseMessage(const TMessage &Message);
    // Keys the control wants although WM_GETDLGCODE does not ask for them.
    virtual bool WantsSpecialKey(WORD) { return false; }

    HBRUSH BackgroundBrush();
    void TextChanged() override;
    void FontChanged() override;
    void ColorChanged() override;
    void EnabledChanged() override;
    void VisibleChanged() override;
    void BoundsChanged() override;

private:
    friend class TControl;
    friend class TForm;
    friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
    UniqueWindow handle_;
    WNDPROC defaultProc_ = DefWindowProcA;
    std::vector<TControl *> children_;
    UniqueBrush brush_;
    TColor brushColor_ = clDefault;
    int tabOrder_ = -1;
    bool tabStop_ = false;
    int dispatchDepth_ = 0;
    bool releasePending_ = false;
    bool clicked_ = false;
};

// The control whose window this is, if it is one of the framework's windows.
TWinControl *FindControl(HWND Window);
// The one window procedure of the framework's controls.
LRESULT CALLBACK ControlWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
