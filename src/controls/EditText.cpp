// TEditText: the validated edit whose value, default and bounds are texts.
#include <algorithm>

#include "controls/EditTextFormat.h"
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

void TEditText::SetValueText(int Index, std::string Text) {
    Text = CutShort(Text);
    auto setBound = [this, &Text](std::any &slot, TUserCheckModes check) {
        if (Text == Of(slot))
            return;
        Of(slot) = Text;
        TUserCheckMode mode = CheckMode();
        if (Text.empty())
            mode.Exclude(check);
        else
            mode.Include(check);
        SetCheckMode(mode);
    };
    switch (Index) {
    case 0:
        Of(Values.Value) = Text;
        Of(Values.RestoreValue) = Text;
        UpdateText();
        break;
    case 1: setBound(Values.ValueMax, ucmMaxCheck); break;
    case 2: setBound(Values.ValueMin, ucmMinCheck); break;
    case 3: Of(Values.RestoreValue) = Text; break;
    case 4: Of(Values.ValueDef) = Text; break;
    default: break;
    }
}

void TEditText::ValueToText() {
    const std::string pattern = CutShort(EditState().Contains(uesEditing) ? FormatEdit() : FormatView());
    const std::string value = CutShort(Of(Values.Value));
    if (pattern.empty()) {
        SetText(value);
        return;
    }
    std::optional<std::string> text = ExpandTextFormat(pattern, value);
    if (!text)
        throw Framework::Exception("Format '" + pattern + "' ungültig oder nicht mit dem Argument vereinbar");
    SetText(std::move(*text));
}

void TEditText::TextToValue() {
    Of(Values.Value) = Text();
    Of(Values.RestoreValue) = Of(Values.Value);
}

bool TEditText::IsValidChar(char Key) { return Key != '\t'; }

void TEditText::UndoValue() { SetValueText(0, GetValueText(3)); }


bool TEditText::CheckValue() {
    if (Text().empty() && !InChange())
        SetText(CutShort(Of(Values.ValueDef)));
    TCustomUserEdit::CheckValue();
    const std::string text = Text();
    if (CheckMode().Contains(ucmMinCheck) && CompareTextInLocale(text, Of(Values.ValueMin)) < 0) {
        SetCheckResult(ucrMinFailed);
        return false;
    }
    if (CheckMode().Contains(ucmMaxCheck) && CompareTextInLocale(text, Of(Values.ValueMax)) > 0) {
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
