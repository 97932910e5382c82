#pragma once
// Percent-encoding of one form value, byte by byte: only ASCII letters and
// digits pass unchanged. Part of the unit ImpApiINet.
#include <string>
#include <string_view>

std::string EncodeFormValue(std::string_view Value, bool SpaceAsPlus);
// The same, appended to Out: with room reserved (three bytes per byte of
// Value) Out is never reallocated, so a secret leaves no copy behind.
void AppendFormValue(std::string &Out, std::string_view Value, bool SpaceAsPlus);
