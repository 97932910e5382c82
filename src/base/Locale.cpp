#include "base/Locale.h"

#include <windows.h>

#include <algorithm>
#include <climits>

int CompareTextInLocale(std::string_view A, std::string_view B) noexcept {
    auto length = [](std::string_view t) { return static_cast<int>(std::min<std::size_t>(t.size(), INT_MAX)); };
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.data(), length(A), B.data(), length(B)) -
           CSTR_EQUAL;
}
