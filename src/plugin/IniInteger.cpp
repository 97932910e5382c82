#include "plugin/IniInteger.h"

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
} // namespace

std::optional<int32_t> ParseIniInteger(std::string_view Text) {
    bool negative = false;
    if (!Text.empty() && (Text[0] == '-' || Text[0] == '+')) {
        negative = Text[0] == '-';
        Text.remove_prefix(1);
    }
    int base = 10;
    if (!Text.empty() && Text[0] == '$') {
        base = 16;
        Text.remove_prefix(1);
    } else if (Text.size() >= 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) {
        base = 16;
        Text.remove_prefix(2);
    }
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
