#pragma once
// UserEdit, continued: the validated edit with an edit mask. While a mask is
// set the field shows one character per text position (literals in place,
// BlankChar where nothing was typed), the caret moves over editable positions
// only and shows as a one-character block, typing overwrites the character
// under it, and Enter puts the caret on the first unfilled required position.
// Without a mask it is the validated edit that lets every key through.
//
// Abstract in the value operations: a subclass supplies ValueToText,
// TextToValue, NewValue, DisposeValue and UndoValue, and its value texts must
// follow the mask (the edit text always holds the mask's literals).
#include <string>

#include "core/MaskFunctions.h"
#include "controls/UserEdit.h"

// The system's letter tests and case conversion for the ANSI code page.
const TAnsiLetters &SystemAnsiLetters();
// The user's date and time separators (first character of each).
TMaskSeparators LocaleSeparators();

class TCustomUserMaskEdit : public TCustomUserEdit {
public:
    const std::string &Mask() const { return mask_; }
    bool HasMask() const { return !mask_.empty(); }
    // Stores the mask (cut to MaxMaskLength characters) and lays the text out
    // as its blank template: literals in place, BlankChar elsewhere. An empty
    // mask empties the text. The text counts as unmodified afterwards.
    void SetMask(std::string_view Value);
    // The mask's blank template.
    std::string BlankText() const;
    int PositionCount() const { return positionCount_; }
    int CaretPosition() const { return caretPosition_; }
    bool Unfocused() const { return unfocused_; }
    bool ReEnterPending() const { return reEnterPending_; }

protected:
    TCustomUserMaskEdit(TCreateKey Key, TComponent *Owner) : TCustomUserEdit(Key, Owner) {}

    virtual bool CanEdit() { return true; }
    // Escape: a modified text goes back to the accepted value.
    virtual void AbandonEdit();
    // A rejected key: the default message beep.
    virtual void RejectBeep();

    // Caret: text positions, 0-based.
    void PlaceCaret(int P);
    void RecheckCaret();
    int NextEditablePosition(int P) const;
    int PreviousEditablePosition(int P) const;
    void Advance(int P, int Step);
    void Retreat(int P);

    // Characters: mask positions 1-based, text positions 0-based.
    bool FitCharToMask(char &Key, int M) const;
    int FindLiteralAhead(int M, char Key) const;
    bool AcceptChar(char &Key, int T);
    void BlankSelection(std::string &Text, int Start, int Count) const;
    int MergeText(std::string &Text, int Start, std::string Insert) const;
    bool CheckComplete(const std::string &Text, int &ErrorPosition) const;
    void ValidateMask();

    bool OwnKeyPress() const override { return true; }
    bool KeepTextAtLoad() const override { return HasMask(); }
    void KeyDown(WORD &Key, TShiftState Shift) override;
    void KeyUp(WORD &Key, TShiftState Shift) override;
    void KeyPress(char &Key) override;
    void DoEnter() override;
    void DoExit() override;
    void TextChanged() override;
    void WndProc(TMessage &Message) override;

    char BlankChar = '_';
    bool BlockCaret = true;

private:
    void SetSelection(int Start, int End);
    void ReplaceSelection(const std::string &Text);
    void ArrowKey(WORD Key, TShiftState Shift);
    void HomeEndKey(WORD Key, TShiftState Shift);
    void DeleteKey(WORD Key);
    void Paste();
    void SendCaretKey(UINT Msg);

    std::string mask_;
    int positionCount_ = 0;
    bool reEnterPending_ = false;
    int caretPosition_ = 0;
    int buttonDownX_ = 0;
    bool unfocused_ = false;
};
