#include "core/ParamText.h"

std::string_view ParamValue(std::string_view Params, std::string_view Name, const NameEqualsFn &NameEquals) {
    std::size_t start = 0;
    while (start <= Params.size()) {
        std::size_t end = Params.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = Params.size();
        const std::string_view line = Params.substr(start, end - start);
        const std::size_t eq = line.find('=');
        if (eq != std::string_view::npos && NameEquals(line.substr(0, eq), Name))
            return line.substr(eq + 1);
        // A CRLF pair only yields an empty line in between, which never matches.
        start = end + 1;
    }
    return {};
}

bool IsTrueSwitch(std::string_view TrimmedValue) {
    if (TrimmedValue.size() != 4)
        return false;
    for (std::size_t i = 0; i < 4; ++i) {
        char c = TrimmedValue[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != "TRUE"[i])
            return false;
    }
    return true;
}
