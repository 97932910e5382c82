#pragma once
// Controls: bounds, text, font, colour, enabled and visible, and the mouse
// events. A control's parent is a windowed control (WinControl.h).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/Handles.h"
#include "core/Texts.h"
#include "framework/Component.h"

class TWinControl;

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

    virtual std::string Text() const { return text_.Copy(); }
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
    // A parent's font change reaches the children that show its font.
    static void ParentFontChanged(TControl &Child) {
        if (Child.ParentFont())
            Child.FontChanged();
    }
    // The text kept while no window holds it; it may be a password.
    const SecretText &StoredText() const { return text_; }
    void StoreText(SecretText Text) noexcept { text_ = std::move(Text); }

private:
    TWinControl *parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    SecretText text_;
    TFontDef font_ = DefaultFont;
    bool parentFont_ = true;
    mutable UniqueFont fontHandle_;
    TColor color_ = clDefault;
    bool enabled_ = true, visible_ = true;
};
