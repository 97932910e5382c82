#include "core/IntegerText.h"

namespace {
int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

// Takes the sign and the base prefix off Text.
void ReadPrefix(std::string_view &Text, bool &Negative, int &Base) {
    Negative = false;
    if (!Text.empty() && (Text[0] == '-' || Text[0] == '+')) {
        Negative = Text[0] == '-';
        Text.remove_prefix(1);
    }
    Base = 10;
    if (!Text.empty() && Text[0] == '$') {
        Base = 16;
        Text.remove_prefix(1);
    } else if (Text.size() >= 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) {
        Base = 16;
        Text.remove_prefix(2);
    }
}
} // namespace

std::optional<int64_t> ParseWideInteger(std::string_view Text) {
    bool negative;
    int base;
    ReadPrefix(Text, negative, base);
    if (Text.empty())
        return std::nullopt;
    constexpr uint64_t limit = INT64_MAX;
    uint64_t value = 0;
    for (char c : Text) {
        const int digit = DigitValue(c, base);
        if (digit < 0)
            return std::nullopt;
        value = value > (limit - digit) / base ? limit + 1 : value * base + digit;
    }
    if (negative)
        return value > limit ? INT64_MIN : -static_cast<int64_t>(value);
    return value > limit ? INT64_MAX : static_cast<int64_t>(value);
}

std::optional<int32_t> ParseIniInteger(std::string_view Text) {
    bool negative;
    int base;
    ReadPrefix(Text, negative, base);
    if (Text.empty())
        return std::nullopt;
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t value = 0;
    for (char c : Text) {
        const int digit = DigitValue(c, base);
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    const auto pattern = static_cast<uint32_t>(negative ? 0u - value : value);
    return static_cast<int32_t>(pattern);
}
