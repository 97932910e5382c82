#include "core/FormValue.h"

namespace {
bool IsAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

template <class String> void Append(String &out, std::string_view Value, bool SpaceAsPlus) {
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : Value) {
        if (IsAsciiAlnum(c)) {
            out += static_cast<char>(c);
        } else if (c == ' ' && SpaceAsPlus) {
            out += '+';
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
}
} // namespace

std::string EncodeFormValue(std::string_view Value, bool SpaceAsPlus) {
    std::string out;
    Append(out, Value, SpaceAsPlus);
    return out;
}

void AppendFormValue(WipingString &Out, std::string_view Value, bool SpaceAsPlus) { Append(Out, Value, SpaceAsPlus); }
