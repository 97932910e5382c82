// TEditText: the validated edit whose value, default and bounds are texts.
#include <algorithm>

#include "core/EditTextFormat.h"
#include "controls/UserEdit.h"
#include "base/Locale.h"
#include "framework/Framework.h"

std::string TEditText::GetValueText(int Index) {
    switch (Index) {
    case 0: ValidateIfEditing(); return CutShort(Of(Values.Value));
    case 1: return CutShort(Of(Values.ValueMax));
    case 2: return CutShort(Of(Values.ValueMin));
    case 3: return CutShort(Of(Values.RestoreValue));
    case 4: return CutShort(Of(Values.ValueDef));
    default: return {};
    }
}

// The texts may be a password: every copy let go is wiped.
void TEditText::SetValueText(int Index, std::string Text) {
    SecretText owned(std::move(Text));
    WipingString &text = *owned;
    text.resize(std::min(text.size(), ShortTextMax));
    auto setBound = [this, &text](std::any &slot, TUserCheckModes check) {
        if (text == Of(slot))
            return;
        Of(slot) = text;
        TUserCheckMode mode = CheckMode();
        if (text.empty())
            mode.Exclude(check);
        else
            mode.Include(check);
        SetCheckMode(mode);
    };
    switch (Index) {
    case 0:
        Of(Values.Value) = text;
        Of(Values.RestoreValue) = text;
        UpdateText();
        break;
    case 1: setBound(Values.ValueMax, ucmMaxCheck); break;
    case 2: setBound(Values.ValueMin, ucmMinCheck); break;
    case 3: Of(Values.RestoreValue) = text; break;
    case 4: Of(Values.ValueDef) = text; break;
    default: break;
    }
}

void TEditText::ValueToText() {
    const std::string pattern = CutShort(EditState().Contains(uesEditing) ? FormatEdit() : FormatView());
    const SecretText value(CutShort(Of(Values.Value)));
    if (pattern.empty()) {
        SetText(value.Copy());
        return;
    }
    std::optional<std::string> text = ExpandTextFormat(pattern, *value);
    if (!text)
        throw Framework::Exception("Format '" + pattern + "' ungültig oder nicht mit dem Argument vereinbar");
    SetText(std::move(*text));
}

void TEditText::TextToValue() {
    const SecretText text(Text());
    Of(Values.Value) = *text;
    Of(Values.RestoreValue) = *text;
}

void TEditText::DisposeValue(std::any &Slot) {
    if (auto *text = std::any_cast<WipingString>(&Slot))
        Wipe(*text);
    Slot.reset();
}

bool TEditText::IsValidChar(char Key) { return Key != '\t'; }

void TEditText::UndoValue() { SetValueText(0, GetValueText(3)); }


bool TEditText::CheckValue() {
    if (TextLength() == 0 && !InChange())
        SetText(CutShort(Of(Values.ValueDef)));
    TCustomUserEdit::CheckValue();
    const SecretText text(Text());
    if (CheckMode().Contains(ucmMinCheck) && CompareTextInLocale(*text, Of(Values.ValueMin)) < 0) {
        SetCheckResult(ucrMinFailed);
        return false;
    }
    if (CheckMode().Contains(ucmMaxCheck) && CompareTextInLocale(*text, Of(Values.ValueMax)) > 0) {
        SetCheckResult(ucrMaxFailed);
        return false;
    }
    return true;
}

void TEditText::GetErrorText(std::string &Text, int MaxLen, int &HelpContext) {
    TCustomUserEdit::GetErrorText(Text, MaxLen, HelpContext);
    const TUserCheckResults result = CheckResult();
    if (result != ucrMinFailed && result != ucrMaxFailed)
        return;
    const size_t max = static_cast<size_t>(std::max(MaxLen, 0));
    const bool both = CheckMode().Contains(ucmMinCheck) && CheckMode().Contains(ucmMaxCheck);
    Text = CutShort(both ? RangeTemplate : result == ucrMinFailed ? MinTemplate : MaxTemplate, max);
    Text = CutShort(CutShort(ReplaceIgnoringCase(Text, "[Minimum]", CutShort(Of(Values.ValueMin)))), max);
    Text = CutShort(CutShort(ReplaceIgnoringCase(Text, "[Maximum]", CutShort(Of(Values.ValueMax)))), max);
}
