#include "framework/Control.h"

#include <vector>

#include "framework/Forms.h"

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

TControl::~TControl() { SetParent(nullptr); }

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

// Texts let go are wiped: a password field's text passes through here.
void TControl::SetText(std::string Text) {
    SecretText text(std::move(Text));
    if (*text == *SecretText(this->Text()))
        return;
    text_ = std::move(text);
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
