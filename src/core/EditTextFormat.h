#pragma once
// The text edit's pure text work: expanding a printf-like pattern with one text
// argument, and replacing placeholders regardless of letter case. No Windows
// types, so it is tested natively.
#include <optional>
#include <string>
#include <string_view>

#include "core/Texts.h"

// Expands Pattern with Value as the argument of every %s conversion (flag "-"
// left-justifies, a width pads with blanks, ".n" takes at most n characters;
// "s" may be upper case) and %% as a per cent sign. The result is cut to Max
// characters. Any other conversion, flag or a pattern ending inside one cannot
// take a text: the result is then empty (nullopt).
std::optional<std::string> ExpandTextFormat(std::string_view Pattern, std::string_view Value,
                                            size_t Max = ShortTextMax);

// Replaces every occurrence of Placeholder (ASCII letters in any case) in Text
// by By; the inserted text is not searched again.
std::string ReplaceIgnoringCase(std::string_view Text, std::string_view Placeholder, std::string_view By);
