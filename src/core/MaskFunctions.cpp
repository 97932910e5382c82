#include "core/MaskFunctions.h"

#include <algorithm>

namespace {
std::string_view Cut(std::string_view Mask) {
    return Mask.substr(0, std::min<std::size_t>(Mask.size(), MaxMaskLength));
}

int Length(std::string_view Mask) { return static_cast<int>(Cut(Mask).size()); }
} // namespace

TMaskCharKind MaskCharKind(std::string_view Mask, int P) {
    Mask = Cut(Mask);
    const int n = static_cast<int>(Mask.size());
    if (P < 1 || P > n)
        return mkNone;
    const auto at = [Mask](int i) { return Mask[static_cast<std::size_t>(i - 1)]; };
    // Only one character is looked back: "\\" before a character is an
    // escaped backslash, and the character after it is not escaped.
    const auto escapedBefore = [&](int i) { return i >= 2 && at(i - 1) == '\\'; };
    const char c = at(P);
    if (escapedBefore(P) && !escapedBefore(P - 1))
        return mkLiteral;
    const bool inTail = n >= 4 && P > n - 4;
    if (inTail && c == ';')
        return mkFieldSeparator;
    if (inTail && P >= 2 && at(P - 1) == ';' && !escapedBefore(P - 1))
        return mkField;
    switch (c) {
    case '/': case ':':
        return mkLocaleLiteral;
    case '!': case '<': case '>': case '\\':
        return mkDirective;
    case '#': case '9': case 'a': case 'c': case 'l':
        return mkOptional;
    case '0': case 'A': case 'C': case 'L':
        return mkRequired;
    default:
        return mkLiteral;
    }
}

TMaskDirectives MaskCaseAt(std::string_view Mask, int P) {
    Mask = Cut(Mask);
    TMaskDirectives d;
    for (int i = 1; i <= static_cast<int>(Mask.size()); ++i) {
        const char c = Mask[static_cast<std::size_t>(i - 1)];
        if (c == '!') {
            d.Reverse = true;
        } else if (c == '>' && i < P) {
            d.LowerCase = false;
            if (!(i > 1 && Mask[static_cast<std::size_t>(i - 2)] == '<'))
                d.UpperCase = true;
        } else if (c == '<' && i < P) {
            d.UpperCase = false;
            d.LowerCase = true;
        }
    }
    d.Literal = MaskCharKind(Mask, P) == mkLiteral;
    return d;
}

char LiteralDisplayChar(char MaskChar, TMaskSeparators Separators) {
    if (MaskChar == '/')
        return Separators.Date;
    if (MaskChar == ':')
        return Separators.Time;
    return MaskChar;
}

int MaskToTextOffset(std::string_view Mask, int M) {
    M = std::min(M, Length(Mask));
    int count = 0;
    for (int i = 1; i <= M; ++i)
        count += OccupiesText(MaskCharKind(Mask, i));
    return count;
}

int TextToMaskOffset(std::string_view Mask, int T) {
    const int n = Length(Mask);
    if (T > MaskToTextOffset(Mask, n))
        return -1;
    T = std::max(T, -1); // any negative T finds the first position; no underflow
    // Skips exactly what MaskToTextOffset does not count, so the two stay
    // inverse even where a field separator stands before editable characters.
    for (int m = 1; m <= n; ++m)
        if (OccupiesText(MaskCharKind(Mask, m)) && --T < 0)
            return m;
    return n;
}

bool IsLiteralPosition(std::string_view Mask, int T) {
    const int m = TextToMaskOffset(Mask, T);
    return m >= 0 && IsLiteralKind(MaskCharKind(Mask, m));
}

std::optional<char> MaskLiteralAt(std::string_view Mask, int P, TMaskSeparators Separators) {
    const TMaskCharKind kind = MaskCharKind(Mask, P);
    if (!IsLiteralKind(kind))
        return std::nullopt;
    const char c = Mask[static_cast<std::size_t>(P - 1)];
    return kind == mkLocaleLiteral ? LiteralDisplayChar(c, Separators) : c;
}

bool MaskCharAccepts(char MaskChar, char c, const TAnsiLetters &Letters) {
    const bool digit = c >= '0' && c <= '9';
    switch (MaskChar) {
    case '0': case '9':
        return digit;
    case '#':
        return digit || c == ' ' || c == '+' || c == '-';
    case 'L': case 'l':
        return Letters.IsLetter(c);
    case 'A': case 'a':
        return Letters.IsLetter(c) || Letters.IsLetterOrDigit(c);
    case 'C': case 'c':
        return true;
    default:
        return false;
    }
}

std::optional<char> MaskFitChar(std::string_view Mask, int P, char Key, TMaskSeparators Separators,
                                const TAnsiLetters &Letters) {
    const TMaskCharKind kind = MaskCharKind(Mask, P);
    if (IsLiteralKind(kind))
        return MaskLiteralAt(Mask, P, Separators);
    if (kind != mkRequired && kind != mkOptional)
        return std::nullopt;
    const char maskChar = Mask[static_cast<std::size_t>(P - 1)];
    if (!MaskCharAccepts(maskChar, Key, Letters))
        return std::nullopt;
    const bool converts = maskChar == 'L' || maskChar == 'l' || maskChar == 'A' || maskChar == 'a' ||
                          maskChar == 'C' || maskChar == 'c';
    if (converts && Letters.IsLetter(Key)) {
        const TMaskDirectives d = MaskCaseAt(Mask, P);
        if (d.UpperCase)
            return Letters.ToUpper(Key);
        if (d.LowerCase)
            return Letters.ToLower(Key);
    }
    return Key;
}
