#pragma once
// Forms: top-level windows built from layout tables. A derived form declares its
// controls as public pointer members and, in its constructor, calls LoadLayout
// with a table that names each member (Field<&TMyForm::btnOk>) and its
// properties. Entries are applied in stored order while the form is loading,
// then every component gets Loaded, then OnCreate runs.
#include <span>
#include <vector>

#include "framework/WinControl.h"

// bsNone: a control without a frame (edits); forms use bsSingle and bsDialog.
enum TBorderStyle { bsSingle, bsDialog, bsNone };
enum TBevelCut { bvNone, bvLowered, bvRaised };
enum TCloseAction { caNone, caHide, caFree };

using TEventThunk = void (*)(TForm &Form, TComponent *Sender);
using TCloseThunk = void (*)(TForm &Form, TComponent *Sender, TCloseAction &Action);
using TCloseEvent = std::function<void(TComponent *Sender, TCloseAction &Action)>;

// One component of a layout. A field left at its default keeps the class's
// default. OnEvent binds the class's main event: OnClick of a button,
// OnChange of an edit, OnTimer of a timer. More sets what only one class has.
struct TControlDef {
    TComponent *(*Create)(TForm &Form);
    const char *Name;
    const char *Parent = nullptr; // an earlier entry; none: the form
    int Left = 0, Top = 0, Width = 0, Height = 0;
    const char *Caption = nullptr;
    TFontDef Font = {}; // Height 0: the parent's font
    TColor Color = clDefault;
    int TabOrder = -1;
    bool Enabled = true;
    bool Visible = true;
    bool AutoSize = true; // labels
    bool WordWrap = false; // labels
    bool Default = false, Cancel = false; // buttons: Enter and Escape
    int ModalResult = mrNone;             // buttons
    char PasswordChar = 0;                // edits
    int MaxLength = 0;                    // edits; 0: the system's limit
    TBevelCut BevelOuter = bvRaised;      // panels
    unsigned Interval = 1000;             // timers
    TEventThunk OnEvent = nullptr;
    void (*More)(TComponent &Component) = nullptr;
};

struct TFormDef {
    const char *Name;
    const char *Caption;
    int ClientWidth, ClientHeight;
    TBorderStyle BorderStyle = bsSingle;
    bool SystemMenu = true; // with the close box; never minimise or maximise boxes
    TFontDef Font = {.Height = -11};
    TColor Color = clBtnFace;
    TEventThunk OnCreate = nullptr, OnShow = nullptr;
    TCloseThunk OnClose = nullptr;
    std::span<const TControlDef> Controls;
};

// Field<&TMyForm::Label1>: creates the member's control, owned by the form.
// Handler<&TMyForm::Label1Click>: calls the form's method as an event.
namespace FormsDetail {
// A class whose objects must be completed after construction offers
// T::Create<T>(Owner); the layout then creates them through it.
template <class T> T *NewComponent(TComponent *Owner) {
    if constexpr (requires { T::template Create<T>(Owner); })
        return T::template Create<T>(Owner);
    else
        return new T(Owner);
}
template <auto M, class C, class T> TComponent *CreateField(TForm &f) {
    auto *c = NewComponent<T>(&f);
    static_cast<C &>(f).*M = c;
    return c;
}
template <auto M, class C, class T> constexpr auto MakeField(T *C::*) { return &CreateField<M, C, T>; }
template <auto M, class C, class... A> void CallHandler(TForm &f, A... a) { (static_cast<C &>(f).*M)(a...); }
template <auto M, class C, class... A> constexpr auto MakeHandler(void (C::*)(A...)) {
    return &CallHandler<M, C, A...>;
}
} // namespace FormsDetail
template <auto Member> constexpr auto Field = FormsDetail::MakeField<Member>(Member);
template <auto Method> constexpr auto Handler = FormsDetail::MakeHandler<Method>(Method);
TNotifyEvent BindEvent(TEventThunk Thunk, TForm &Form);

class TButton;

class TForm : public TWinControl {
public:
    explicit TForm(TComponent *Owner = nullptr);
    ~TForm() override;

    // Shows the form modal on this thread: the thread's other windows are
    // disabled until ModalResult is set (a button with a modal result, or
    // closing, which counts as Cancel). Returns the modal result.
    int ShowModal();
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int Result) { modalResult_ = Result; }
    bool Modal() const { return modal_; }
    void Show();
    void Hide() { SetVisible(false); }
    // Modal: ends with Cancel. Modeless: OnClose decides; the default hides.
    void Close();
    // Destroys the form once the message queue is next served.
    void Release();
    // Destroys the released forms of this thread that still wait for their
    // turn: the module is being unloaded before the host served its queue,
    // and no window may outlive the code behind it.
    static void DestroyReleased() noexcept;

    TWinControl *ActiveControl() const { return active_; }
    // Moves the focus to the next (or previous) focusable control in tab order.
    void SelectNext(TWinControl *From, bool Forward);
    // Tab, Enter and Escape of the form's controls. True when consumed.
    bool DialogKey(WORD Key, TShiftState Shift);

    void SetClientSize(int Width, int Height);
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    // The owner window of the form's window; none by default.
    HWND OwnerWindow = nullptr;

    TNotifyEvent OnCreate, OnShow;
    TCloseEvent OnClose;

protected:
    // Call from the most derived constructor: the members it fills must exist.
    void LoadLayout(const TFormDef &Def);
    void CreateParams(TCreateParams &Params) override;
    void WndProc(TMessage &Message) override;
    void VisibleChanged() override;
    void BoundsChanged() override {}
    void FocusChanged(TWinControl *Control) override;
    bool FocusWhenShown(TWinControl *Control) override;
    void ForgetControl(TWinControl *Control) override;

private:
    TButton *DialogButton(WORD Key) const;
    void UpdateDefaultButtons();

    static constinit inline std::vector<TForm *> released_;
    TBorderStyle borderStyle_ = bsSingle;
    bool systemMenu_ = true;
    int clientWidth_ = 0, clientHeight_ = 0;
    int modalResult_ = mrNone;
    bool modal_ = false;
    bool destroying_ = false;
    TWinControl *active_ = nullptr;
    TWinControl *focused_ = nullptr;
};
