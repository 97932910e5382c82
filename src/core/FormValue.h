#pragma once
// Percent-encoding of one form value, byte by byte: only ASCII letters and
// digits pass unchanged. Part of the unit ImpApiINet.
#include <string>
#include <string_view>

#include "core/Texts.h"

std::string EncodeFormValue(std::string_view Value, bool SpaceAsPlus);
// The same, appended to a text that may hold a password.
void AppendFormValue(WipingString &Out, std::string_view Value, bool SpaceAsPlus);
