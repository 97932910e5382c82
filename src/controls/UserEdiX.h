#pragma once
// UserEdiX: the base of the in-house edit controls. A single-line field that
// superclasses the system EDIT window and carries what an edit needs below
// validation: styles, change notification, selection, clipboard, the modified
// flag and a height fitted to the font. Every property can be set before the
// window exists and is applied when it is created.
#include <cstdint>
#include <string>
#include <utility>

#include "framework/Forms.h"

enum TEditCharCase : uint8_t { ecNormal, ecUpperCase, ecLowerCase };

class TCustomEditEx : public TWinControl {
public:
    explicit TCustomEditEx(TComponent *Owner);

    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int Value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle Value);
    char PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char Value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool Value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool Value);
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool Value) { autoSelect_ = Value; }
    // Fixed after construction.
    bool HideSelection() const { return hideSelection_; }
    bool OEMConvert() const { return oemConvert_; }
    TEditCharCase CharCase() const { return charCase_; }
    void SetCharCase(TEditCharCase Value);
    bool TextModified() const;
    void SetTextModified(bool Value);
    // Height is kept by the font while AutoSize and a single border.
    bool FixedHeight() const { return fixedHeight_; }

    // These act on the window at once (it is created if need be).
    virtual int GetSelectionLength();
    virtual int GetSelectionStart();
    virtual std::string GetSelectedText();
    virtual void SetSelectionLength(int Value);
    virtual void SetSelectionStart(int Value);
    virtual void ClearText();
    // Copies the selection, cut to Size - 1 characters, with a terminating
    // zero into Buffer; returns the count. Writes nothing when Size <= 0.
    virtual int CopySelectedText(char *Buffer, int Size);
    void CopySelection();
    void PasteText();
    void SelectWholeText();

    void ApplyDef(const TControlDef &Def, TForm &Form) override;

    // After every change of the text.
    TNotifyEvent OnChange;

protected:
    // The window's selection as it stands: start and end.
    std::pair<int, int> Selection();
    virtual void ApplyMaxLength(int Value);
    // Exactly once per change of the text of an existing window.
    virtual void NotifyChange();
    void UpdateFixedHeight();
    // The font's line height, and the margin kept around the text: a quarter
    // of the lower of the screen font's and this font's heights.
    struct TFontFit {
        int Height, Margin;
    };
    TFontFit MeasureFont() const;
    void FitHeightToFont();

    void CreateParams(TCreateParams &Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void WndProc(TMessage &Message) override;
    void CommandNotify(WORD Code) override;
    void TextChanged() override;
    void FontChanged() override;
    void DoEnter() override;
    // The last left press could not take the focus: its release is no event.
    bool PressRefused() const { return pressRefused_; }

    bool hideSelection_ = true;
    bool oemConvert_ = false;

private:
    bool Multiline();
    int maxLength_ = 0;
    TBorderStyle borderStyle_ = bsSingle;
    char passwordChar_ = 0;
    bool readOnly_ = false, autoSize_ = true, autoSelect_ = true;
    TEditCharCase charCase_ = ecNormal;
    bool creating_ = false;
    bool keptModified_ = false;
    bool fixedHeight_ = true;
    bool mouseDown_ = false;
    bool pressRefused_ = false;
};
