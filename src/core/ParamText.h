#pragma once
// The host's parameter text: name=value lines. Pure; the name comparison (the
// user's locale, ignoring case) is passed in.
#include <functional>
#include <string>
#include <string_view>

#include "core/Texts.h"

using NameEqualsFn = std::function<bool(std::string_view, std::string_view)>;

// The value of the first line (ended by CR, LF or CRLF) that contains "=" and
// whose part before its first "=" equals Name; empty without such a line.
// Names are compared as they stand, blanks included. The value is a part of
// Params, read in place: a password in it is copied only where it is kept.
std::string_view ParamValue(std::string_view Params, std::string_view Name, const NameEqualsFn &NameEquals);

// A switch is on when its trimmed value, in ASCII upper case, is exactly "TRUE".
bool IsTrueSwitch(std::string_view TrimmedValue);
