#pragma once
// Integers in text: the override file's values and the lengths a server
// announces. Decimal, or hexadecimal written with a leading "0x"/"0X" (at
// least one digit after it) or "$".
#include <cstdint>
#include <optional>
#include <string_view>

// The value, or nothing when the text is no integer (empty, stray characters,
// or out of the 32-bit range; hexadecimal up to FFFFFFFF wraps as the
// 32-bit pattern it writes).
std::optional<int32_t> ParseIniInteger(std::string_view Text);

// The same forms without a range, for lengths: a value beyond 63 bits
// saturates (to INT64_MAX, or INT64_MIN when negative); nothing when the text
// is no integer.
std::optional<int64_t> ParseWideInteger(std::string_view Text);
