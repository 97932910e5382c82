#pragma once
// Small text helpers without Windows types.
#include <string>
#include <string_view>

// Removes the characters with codes 0 to 32 at both ends (bytes above 127
// are no blanks).
std::string TrimControls(std::string_view Value);

// Overwrites the string's whole buffer before emptying it (passwords).
void Wipe(std::string &Text) noexcept;
