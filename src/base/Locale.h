#pragma once
// The user's collation, for the comparisons the pure core takes as a parameter.
#include <string_view>

// <0, 0 or >0: the two texts in the user's collation, ignoring case.
int CompareTextInLocale(std::string_view A, std::string_view B) noexcept;
inline bool EqualsInLocale(std::string_view A, std::string_view B) noexcept { return CompareTextInLocale(A, B) == 0; }
