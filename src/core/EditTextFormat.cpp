#include "core/EditTextFormat.h"

#include <algorithm>

namespace {
// Appends up to Max characters in total; long widths never allocate more.
struct Output {
    std::string Text;
    size_t Max;
    void Append(std::string_view s) { Text.append(s.substr(0, Max - std::min(Max, Text.size()))); }
    void Pad(size_t n) { Text.append(std::min(n, Max - std::min(Max, Text.size())), ' '); }
};

bool ReadNumber(std::string_view p, size_t &i, size_t &n) {
    const size_t from = i;
    n = 0;
    for (; i < p.size() && p[i] >= '0' && p[i] <= '9'; ++i)
        n = std::min<size_t>(n * 10 + (p[i] - '0'), 1u << 20); // saturates; output is cut anyway
    return i > from;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
} // namespace

std::optional<std::string> ExpandTextFormat(std::string_view Pattern, std::string_view Value, size_t Max) {
    Output out{{}, Max};
    size_t i = 0;
    while (i < Pattern.size()) {
        const size_t percent = Pattern.find('%', i);
        out.Append(Pattern.substr(i, percent == std::string_view::npos ? std::string_view::npos : percent - i));
        if (percent == std::string_view::npos)
            break;
        i = percent + 1;
        if (i < Pattern.size() && Pattern[i] == '%') {
            out.Append("%");
            ++i;
            continue;
        }
        const bool left = i < Pattern.size() && Pattern[i] == '-';
        if (left)
            ++i;
        size_t width = 0, precision = 0;
        ReadNumber(Pattern, i, width);
        bool limited = false;
        if (i < Pattern.size() && Pattern[i] == '.') {
            ++i;
            ReadNumber(Pattern, i, precision);
            limited = true;
        }
        if (i >= Pattern.size() || Lower(Pattern[i]) != 's')
            return std::nullopt;
        ++i;
        const std::string_view v = limited ? Value.substr(0, precision) : Value;
        const size_t pad = width > v.size() ? width - v.size() : 0;
        if (!left)
            out.Pad(pad);
        out.Append(v);
        if (left)
            out.Pad(pad);
    }
    return std::move(out.Text);
}

std::string ReplaceIgnoringCase(std::string_view Text, std::string_view Placeholder, std::string_view By) {
    if (Placeholder.empty())
        return std::string(Text);
    auto same = [](char a, char b) { return Lower(a) == Lower(b); };
    std::string result;
    size_t i = 0;
    for (;;) {
        auto hit = std::search(Text.begin() + i, Text.end(), Placeholder.begin(), Placeholder.end(), same);
        const size_t at = static_cast<size_t>(hit - Text.begin());
        result.append(Text.substr(i, at - i));
        if (hit == Text.end())
            return result;
        result.append(By);
        i = at + Placeholder.size();
    }
}
