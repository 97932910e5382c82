#pragma once
// UserEdit: the validated edit controls. TCustomUserEdit runs the edit cycle
// of a single-line field (edit format while focused, view format otherwise;
// check, veto and acceptance on leaving or Enter; error colour and error
// report), with the value itself left to subclasses. TEditText is the one for
// free text. TCustomEditHistoryList is the interface of an optional list that
// follows an edit's focus, bounds and keys.
//
// Validated edits are made only through Create, which completes the object
// before its values are made by the subclass's NewValue:
//     auto *e = TCustomUserEdit::Create<TEditText>(Owner);
// A class that leaves a value operation abstract does not compile there.
#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "controls/UserEdiX.h"
#include "framework/Framework.h"

// A set of up to eight flags of an enumeration.
template <class E> class TSmallSet {
public:
    constexpr TSmallSet() = default;
    constexpr TSmallSet(std::initializer_list<E> Flags) {
        for (E f : Flags)
            Include(f);
    }
    constexpr bool Contains(E f) const { return bits_ & Bit(f); }
    constexpr void Include(E f) { bits_ |= Bit(f); }
    constexpr void Exclude(E f) { bits_ &= ~Bit(f); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const TSmallSet &) const = default;

private:
    static constexpr uint8_t Bit(E f) { return static_cast<uint8_t>(1u << static_cast<unsigned>(f)); }
    uint8_t bits_ = 0;
};

enum TUserAlignment : uint8_t { taLeftJustify, taRightJustify };
// Only the minimum and maximum checks act; the others are kept and read back.
enum TUserCheckModes : uint8_t { ucmMinCheck, ucmMaxCheck, ucmMandatory, ucmSpecial, ucmDependence, ucmNotValid };
using TUserCheckMode = TSmallSet<TUserCheckModes>;
enum TUserEditStateFlag : uint8_t { uesEditing, uesRefocus, uesErrorColor };
using TUserEditState = TSmallSet<TUserEditStateFlag>;
enum TUserCheckResults : uint8_t { ucrOk, ucrMinFailed, ucrMaxFailed };

// An input error of an edit control.
class EUserEditError : public Framework::Exception {
public:
    using Framework::Exception::Exception;
};

class TCustomUserEdit;

// SpezText may be a password: a handler that changes it cannot leave a copy.
using TUserBeforeEvent = std::function<bool(TComponent *Sender, WipingString &SpezText, TUserEditState aEditState)>;
using TUserAfterEvent = std::function<void(TComponent *Sender, WipingString &SpezText, TUserEditState aEditState)>;
using TUserInvalidCharEvent = std::function<bool(TComponent *Sender, char &Key, TUserEditState aEditState)>;
using TModifyingEvent = std::function<void(TComponent *Sender, bool &CanModify)>;
using TValidationErrorEvent = std::function<void(TComponent *Sender, TUserCheckResults ErrorResult,
                                                 std::string &ErrorText, int &HelpContext, bool &ErrorHandled)>;

// A list that accompanies the edit it serves (a drop-down of earlier entries,
// say). The edit calls it as its focus, bounds and keys change. A list that is
// destroyed detaches itself from every edit that refers to it.
class TCustomEditHistoryList : public TComponent {
public:
    explicit TCustomEditHistoryList(TComponent *Owner) : TComponent(Owner) {}
    ~TCustomEditHistoryList() override;

    bool Active = false;

    virtual void SetEdit(TCustomUserEdit *Edit) = 0;
    virtual void EditBoundsChanged(int Left, int Top, int Width, int Height) = 0;
    virtual void EditCommitted() = 0;
    virtual void EditEntered() = 0;
    virtual void EditExited() = 0;
    virtual void EditKeyDown(WORD &Key, TShiftState Shift) = 0;
    virtual void EditKeyUp(WORD &Key, TShiftState Shift) = 0;

private:
    friend class TCustomUserEdit;
    std::vector<TCustomUserEdit *> edits_; // the edits whose HistoryList this is
};

class TCustomUserEdit : public TCustomEditEx {
protected:
    // Only Create can make one: the constructors take this key.
    class TCreateKey {
        friend class TCustomUserEdit;
        TCreateKey() = default;
    };

public:
    template <class T>
        requires(std::is_base_of_v<TCustomUserEdit, T> && !std::is_abstract_v<T>)
    static T *Create(TComponent *Owner);
    ~TCustomUserEdit() override;

    TUserEditState EditState() const { return editState_; }
    TUserCheckMode CheckMode() const { return checkMode_; }
    void SetCheckMode(TUserCheckMode Value) { checkMode_ = Value; }
    TUserCheckResults CheckResult() const { return checkResult_; }
    TUserAlignment Alignment() const { return alignment_; }
    void SetAlignment(TUserAlignment Value);
    TColor ErrColor() const { return errColor_; }
    void SetErrColor(TColor Value) { errColor_ = Value; }
    // ErrPrompt reads as the component's Name while empty; FormatView as
    // FormatEdit while empty. Writing them redisplays nothing.
    std::string ErrPrompt() const { return GetFormat(0); }
    void SetErrPrompt(std::string Value) { SetFormat(0, std::move(Value)); }
    std::string FormatEdit() const { return GetFormat(1); }
    void SetFormatEdit(std::string Value) { SetFormat(1, std::move(Value)); }
    std::string FormatView() const { return GetFormat(2); }
    void SetFormatView(std::string Value) { SetFormat(2, std::move(Value)); }
    TCustomEditHistoryList *HistoryList() const { return historyList_; }
    void SetHistoryList(TCustomEditHistoryList *Value);
    // True while the change notification (and so OnChange) runs.
    bool InChange() const { return inChange_; }
    int TextMargin() const { return textMargin_; }

    // The display cycle: OnBeforeTF, else the value formatted; selected and
    // unmodified while editing; then OnAfterTF.
    void UpdateText();
    // Checks and accepts a changed text; false when the check failed (after
    // the report, unless it raised) or OnModifying vetoed.
    bool ValidateEdit();
    void ValidateIfEditing();
    // Beep, OnValidationError, then EUserEditError unless handled.
    void ShowCheckError();
    void ResetCheckError();

    TModifyingEvent OnModifying;
    TNotifyEvent OnModified;
    TUserBeforeEvent OnBeforeTF;
    TUserAfterEvent OnAfterTF;
    TUserInvalidCharEvent OnInvalidChar;
    TValidationErrorEvent OnValidationError;

protected:
    TCustomUserEdit(TCreateKey, TComponent *Owner);

    // The value operations; a value slot holds what its subclass puts there.
    virtual bool CheckValue();
    virtual void GetErrorText(std::string &Text, int MaxLen, int &HelpContext);
    virtual void InitValues();
    virtual void DoneValues();
    virtual void ValueToText() = 0;
    virtual void TextToValue() = 0;
    virtual bool IsValidChar(char Key);
    virtual void NewValue(std::any &Slot) = 0;
    virtual void DisposeValue(std::any &Slot) = 0;
    virtual void UndoValue() = 0;
    // For a class that filters typed characters itself (the mask edit): the
    // key-press then only ends the error colour.
    virtual bool OwnKeyPress() const { return false; }
    // For a class whose loaded text must stay as it is (a masked edit).
    virtual bool KeepTextAtLoad() const { return false; }

    bool DoBeforeTF();
    void DoAfterTF();
    bool DoModifying();
    void DoModified();

    void Loaded() override;
    void CreateWnd() override;
    void WndProc(TMessage &Message) override;
    void BoundsChanged() override;
    void DoEnter() override;
    void DoExit() override;
    void KeyDown(WORD &Key, TShiftState Shift) override;
    void KeyUp(WORD &Key, TShiftState Shift) override;
    void KeyPress(char &Key) override;
    void NotifyChange() override;

    void SetCheckResult(TUserCheckResults Value) { checkResult_ = Value; }

    // The five value slots, made by NewValue and released by DisposeValue.
    struct TValueSlots {
        std::any RestoreValue, Value, ValueDef, ValueMin, ValueMax;
    } Values;

private:
    // Deletes the completed object: its values go through the subclass's
    // DisposeValue while every part of it is still alive.
    template <class T> class TCompleted;
    friend class TCustomEditHistoryList;
    std::string GetFormat(int Index) const;
    void SetFormat(int Index, std::string Value);
    void UpdateColors();
    void PaintRightAligned(TMessage &Message);
    void DetachHistoryList();

    TUserEditState editState_;
    TUserCheckMode checkMode_;
    TUserAlignment alignment_ = taLeftJustify;
    std::string errPrompt_, formatEdit_, formatView_;
    TUserCheckResults checkResult_ = ucrOk;
    TColor errColor_ = 255;
    // Taken at the end of loading; an edit made in code takes them when its
    // colours are first updated, so that a colour set in code is kept.
    TColor savedColor_ = clWindow, savedFontColor_ = clWindowText;
    bool colorsSaved_ = false;
    TCustomEditHistoryList *historyList_ = nullptr;
    bool inChange_ = false;
    int textMargin_ = 0;
    bool destroying_ = false;
};

template <class T> class TCustomUserEdit::TCompleted final : public T {
public:
    TCompleted(TCreateKey Key, TComponent *Owner) : T(Key, Owner) {}
    ~TCompleted() override { this->DoneValues(); }
};

template <class T>
    requires(std::is_base_of_v<TCustomUserEdit, T> && !std::is_abstract_v<T>)
T *TCustomUserEdit::Create(TComponent *Owner) {
    std::unique_ptr<T> edit(new TCompleted<T>(TCreateKey{}, Owner));
    TCustomUserEdit &self = *edit;
    self.InitValues();
    self.textMargin_ = self.MeasureFont().Margin;
    return edit.release();
}

// The validated edit for free text: value, default and bounds are texts; the
// bounds are compared in the user's collation, ignoring case.
class TEditText : public TCustomUserEdit {
public:
    // Reading Value first checks and takes over a text being edited (and may
    // raise EUserEditError). All values read at most 255 characters; written
    // ones are cut to 255. Writing Value redisplays; writing ValueMin or
    // ValueMax with a new text switches its check on (non-empty) or off.
    // Index 0 Value, 1 ValueMax, 2 ValueMin, 3 RestoreValue, 4 ValueDef.
    std::string GetValueText(int Index);
    void SetValueText(int Index, std::string Text);
    std::string Value() { return GetValueText(0); }
    void SetValue(std::string Text) { SetValueText(0, std::move(Text)); }
    std::string ValueMax() { return GetValueText(1); }
    void SetValueMax(std::string Text) { SetValueText(1, std::move(Text)); }
    std::string ValueMin() { return GetValueText(2); }
    void SetValueMin(std::string Text) { SetValueText(2, std::move(Text)); }
    std::string ValueDef() { return GetValueText(4); }
    void SetValueDef(std::string Text) { SetValueText(4, std::move(Text)); }

    static constexpr const char *RangeTemplate = "Gültige Eingaben liegen im Bereich von [Minimum] bis [Maximum]";
    static constexpr const char *MinTemplate = "Das Minimum für die Eingabe beträgt [Minimum]";
    static constexpr const char *MaxTemplate = "Das Maximum für die Eingabe beträgt [Maximum]";

protected:
    TEditText(TCreateKey Key, TComponent *Owner) : TCustomUserEdit(Key, Owner) {}

    bool CheckValue() override;
    void GetErrorText(std::string &Text, int MaxLen, int &HelpContext) override;
    void ValueToText() override;
    void TextToValue() override;
    bool IsValidChar(char Key) override;
    void NewValue(std::any &Slot) override { Slot = WipingString(); }
    void DisposeValue(std::any &Slot) override;
    void UndoValue() override;

private:
    static WipingString &Of(std::any &Slot) { return std::any_cast<WipingString &>(Slot); }
};
