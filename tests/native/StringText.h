#pragma once
// A contiguous answer for the scanning templates.
#include <string>
#include <string_view>

#include "core/AnswerScan.h"

struct StringText {
    std::string_view s;
    std::size_t Size() const { return s.size(); }
    bool StartsWith(std::string_view prefix) const { return s.substr(0, prefix.size()) == prefix; }
    std::size_t Find(std::string_view needle, std::size_t from) const {
        const std::size_t pos = s.find(needle, from);
        return pos == std::string_view::npos ? NotFound : pos;
    }
    std::string Substr(std::size_t pos, std::size_t count) const { return std::string(s.substr(pos, count)); }
};
