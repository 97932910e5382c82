#pragma once
// The framework's plain controls. Labels, buttons and edits are real STATIC,
// BUTTON and EDIT windows (superclassed); panel and shape paint themselves.
#include "framework/Forms.h"

class TLabel : public TWinControl {
public:
    explicit TLabel(TComponent *Owner);
    // With AutoSize the label takes the size of its text (with WordWrap: the
    // height for its width).
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);
    void ApplyDef(const TControlDef &Def, TForm &Form) override;
    void Loaded() override;

protected:
    void CreateParams(TCreateParams &Params) override;
    void TextChanged() override;
    void FontChanged() override;

private:
    void AdjustBounds();
    bool autoSize_ = true, wordWrap_ = false;
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent *Owner);
    bool Default() const { return default_; }
    void SetDefault(bool v);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool v) { cancel_ = v; }
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int v) { modalResult_ = v; }
    // Sets the form's modal result, then OnClick; nothing while disabled.
    void Click() override;
    void ApplyDef(const TControlDef &Def, TForm &Form) override;

protected:
    void CreateParams(TCreateParams &Params) override;
    void CommandNotify(WORD Code) override;
    void WndProc(TMessage &Message) override;

private:
    friend class TForm;
    // Shows the default frame while focused, or while default and no other
    // button has the focus; Enter clicks that button.
    void SetActive(bool v);
    bool default_ = false, cancel_ = false, active_ = false;
    int modalResult_ = mrNone;
};

// The framework's plain single-line edit.
class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent *Owner);
    char PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char v);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int v);
    void ApplyDef(const TControlDef &Def, TForm &Form) override;
    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams &Params) override;
    void CreateWnd() override;
    void CommandNotify(WORD Code) override;
    void TextChanged() override;
    virtual void Change();

private:
    char passwordChar_ = 0;
    int maxLength_ = 0;
};

class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent *Owner);
    TBevelCut BevelOuter = bvRaised;
    void ApplyDef(const TControlDef &Def, TForm &Form) override;
    // A panel that is the trough of a progress bar: its window is a real
    // progress control (painted as the panel), so that accessibility clients
    // report a progress bar and its position. Set it before the window exists.
    bool ProgressRole = false;
    // The position the progress control reports, 0 to 100.
    void SetProgress(int Percent);

protected:
    void CreateParams(TCreateParams &Params) override;
    void Paint(HDC DC, const RECT &Client) override;
};

// A filled rectangle in its colour, without outline.
class TShape : public TWinControl {
public:
    explicit TShape(TComponent *Owner);

protected:
    void CreateParams(TCreateParams &Params) override;
    void ColorChanged() override;
};

// Calls OnTimer every Interval milliseconds while enabled; the ticks come
// through the thread's message queue.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent *Owner) : TComponent(Owner) {}
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned v);
    void SetOnTimer(TNotifyEvent Event);
    // The window that receives the ticks; none while the timer is off.
    HWND Handle() const { return window_.get(); }
    void ApplyDef(const TControlDef &Def, TForm &Form) override;

private:
    static LRESULT CALLBACK TimerWindowProc(HWND, UINT, WPARAM, LPARAM);
    void Update();
    UniqueWindow window_;
    bool enabled_ = true;
    unsigned interval_ = 1000;
    TNotifyEvent onTimer_;
};
