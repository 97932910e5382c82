// INI integers against the C library: a text is accepted exactly when it is
// [+-] then decimal digits, or [+-] then "$", "0x" or "0X" and hex digits,
// within range; the value is what strtoll/strtoull read.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/IntegerText.h"

namespace {
void Check(bool ok) {
    if (!ok)
        std::abort();
}
bool AllOf(const std::string &s, const char *alphabet) {
    return !s.empty() && s.find_first_not_of(alphabet) == std::string::npos;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string in(reinterpret_cast<const char *>(data), size);
    const std::optional<int32_t> value = ParseIniInteger(in);

    std::string rest = in;
    bool negative = false;
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
        negative = rest[0] == '-';
        rest.erase(0, 1);
    }
    bool hex = false;
    if (!rest.empty() && rest[0] == '$')
        hex = true, rest.erase(0, 1);
    else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X'))
        hex = true, rest.erase(0, 2);
    if (!AllOf(rest, hex ? "0123456789abcdefABCDEF" : "0123456789")) {
        Check(!value);
        return 0;
    }
    errno = 0;
    if (hex) {
        const unsigned long long v = std::strtoull(rest.c_str(), nullptr, 16);
        const bool fits = errno == 0 && v <= 0xFFFFFFFFull;
        Check(value.has_value() == fits);
        if (fits)
            Check(static_cast<uint32_t>(*value) == static_cast<uint32_t>(negative ? 0u - v : v));
    } else {
        const long long v = std::strtoll(rest.c_str(), nullptr, 10);
        const long long signedValue = negative ? -v : v;
        const bool fits = errno == 0 && signedValue >= INT32_MIN && signedValue <= INT32_MAX;
        Check(value.has_value() == fits);
        if (fits)
            Check(*value == signedValue);
    }
    return 0;
}
