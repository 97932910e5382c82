#pragma once
// Percent-encoding of one form value, byte by byte: only ASCII letters and
// digits pass unchanged. Part of the unit ImpApiINet.
#include <string>
#include <string_view>

std::string EncodeFormValue(std::string_view Value, bool SpaceAsPlus);
