#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/MaskFunctions.h"

namespace {
// ASCII letters plus the German umlauts and sharp s of CP1252, as the
// system's tests would answer for them.
class GermanLetters final : public TAnsiLetters {
public:
    bool IsLetter(char c) const override {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || Umlaut(c) || c == '\xDF';
    }
    bool IsLetterOrDigit(char c) const override { return IsLetter(c) || (c >= '0' && c <= '9'); }
    char ToUpper(char c) const override {
        return (c >= 'a' && c <= 'z') || LowerUmlaut(c) ? static_cast<char>(c - 0x20) : c;
    }
    char ToLower(char c) const override {
        return (c >= 'A' && c <= 'Z') || (Umlaut(c) && !LowerUmlaut(c)) ? static_cast<char>(c + 0x20) : c;
    }

private:
    static bool LowerUmlaut(char c) { return c == '\xE4' || c == '\xF6' || c == '\xFC'; }
    static bool Umlaut(char c) { return LowerUmlaut(c) || c == '\xC4' || c == '\xD6' || c == '\xDC'; }
};

const GermanLetters Letters;
constexpr TMaskSeparators Dots{'.', '.'};

std::vector<TMaskCharKind> Kinds(std::string_view mask) {
    std::vector<TMaskCharKind> kinds;
    for (int p = 1; p <= static_cast<int>(mask.size()); ++p)
        kinds.push_back(MaskCharKind(mask, p));
    return kinds;
}

// TextToMaskOffset for text positions -1 .. count + 1.
std::vector<int> TextMap(std::string_view mask, int count) {
    std::vector<int> map;
    for (int t = -1; t <= count + 1; ++t)
        map.push_back(TextToMaskOffset(mask, t));
    return map;
}

std::vector<bool> Literals(std::string_view mask, int count) {
    std::vector<bool> literals;
    for (int t = 0; t < count; ++t)
        literals.push_back(IsLiteralPosition(mask, t));
    return literals;
}

using K = std::vector<TMaskCharKind>;
using V = std::vector<int>;
using B = std::vector<bool>;
} // namespace

TEST(MaskFunctions, KindsNumberedInTheirOrder) {
    EXPECT_EQ(V({mkNone, mkLiteral, mkLocaleLiteral, mkDirective, mkRequired, mkOptional, mkFieldSeparator, mkField}),
              V({0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(MaskFunctions, DateMask) {
    const std::string_view m = "00/00";
    EXPECT_EQ(Kinds(m), K({mkRequired, mkRequired, mkLocaleLiteral, mkRequired, mkRequired}));
    EXPECT_EQ(MaskToTextOffset(m, 5), 5);
    EXPECT_EQ(MaskToTextOffset(m, 3), 3);
    EXPECT_EQ(TextMap(m, 5), V({1, 1, 2, 3, 4, 5, 5, -1}));
    EXPECT_EQ(Literals(m, 5), B({false, false, true, false, false}));
    EXPECT_FALSE(IsLiteralPosition(m, 5));
    EXPECT_FALSE(IsLiteralPosition(m, 6));
}

TEST(MaskFunctions, EveryCharacterClass) {
    const std::string_view m = "09#LlAaCc-x/:";
    EXPECT_EQ(Kinds(m), K({mkRequired, mkOptional, mkOptional, mkRequired, mkOptional, mkRequired, mkOptional,
                           mkRequired, mkOptional, mkLiteral, mkLiteral, mkLocaleLiteral, mkLocaleLiteral}));
    EXPECT_EQ(MaskToTextOffset(m, 13), 13);
}

TEST(MaskFunctions, FieldSeparatorTail) {
    const std::string_view m = "00/00;1;_";
    EXPECT_EQ(Kinds(m), K({mkRequired, mkRequired, mkLocaleLiteral, mkRequired, mkRequired, mkFieldSeparator, mkField,
                           mkFieldSeparator, mkField}));
    EXPECT_EQ(MaskToTextOffset(m, 9), 5);
    EXPECT_EQ(MaskToTextOffset(m, 7), 5);
    // Just behind the text is the mask's end, not the first separator.
    EXPECT_EQ(TextMap(m, 5), V({1, 1, 2, 3, 4, 5, 9, -1}));
    EXPECT_FALSE(IsLiteralPosition(m, 5));

    // ";" counts only among the last four characters, and only as long as the
    // mask has four.
    EXPECT_EQ(Kinds("0;0"), K({mkRequired, mkLiteral, mkRequired}));
    EXPECT_EQ(MaskToTextOffset("0;0", 3), 3);
    EXPECT_EQ(Kinds("0;00000"), K({mkRequired, mkLiteral, mkRequired, mkRequired, mkRequired, mkRequired, mkRequired}));
    EXPECT_EQ(Kinds(";0;0"), K({mkFieldSeparator, mkField, mkFieldSeparator, mkField}));
    EXPECT_EQ(MaskToTextOffset(";0;0", 4), 0);
    EXPECT_EQ(TextMap(";0;0", 0), V({4, 4, -1}));
    // ";;": the second is a separator too (checked before the field rule).
    EXPECT_EQ(Kinds("00;;"), K({mkRequired, mkRequired, mkFieldSeparator, mkFieldSeparator}));
    // A ";" just outside the tail is a literal, yet the character after it
    // lies inside the tail and is a field.
    EXPECT_EQ(Kinds("00;0000"), K({mkRequired, mkRequired, mkLiteral, mkField, mkRequired, mkRequired, mkRequired}));
    EXPECT_EQ(MaskToTextOffset("00;0000", 7), 6);
    EXPECT_EQ(TextMap("00;0000", 6), V({1, 1, 2, 3, 5, 6, 7, 7, -1}));
}

TEST(MaskFunctions, EditableCharactersBehindASeparatorKeepTheirTextPositions) {
    // The tail of a short mask can hold a separator before an editable
    // character: that character's text position must map back to it.
    const std::string_view m = "0;00";
    EXPECT_EQ(Kinds(m), K({mkRequired, mkFieldSeparator, mkField, mkRequired}));
    EXPECT_EQ(MaskToTextOffset(m, 4), 2);
    EXPECT_EQ(TextMap(m, 2), V({1, 1, 4, 4, -1}));
    EXPECT_EQ(MaskFitChar(m, TextToMaskOffset(m, 1), '7', Dots, Letters), '7');
}

TEST(MaskFunctions, Escapes) {
    // "\" escapes the next character; an escaped "\" does not escape again.
    const std::string_view m = "\\00\\\\0";
    EXPECT_EQ(Kinds(m), K({mkDirective, mkLiteral, mkRequired, mkDirective, mkLiteral, mkRequired}));
    EXPECT_EQ(MaskToTextOffset(m, 1), 0);
    EXPECT_EQ(MaskToTextOffset(m, 4), 2);
    EXPECT_EQ(MaskToTextOffset(m, 6), 4);
    EXPECT_EQ(TextMap(m, 4), V({2, 2, 3, 5, 6, 6, -1}));
    EXPECT_EQ(Literals(m, 4), B({true, false, true, false}));

    // Three in a row: the third is a directive again, but the look-back sees
    // an escaped "\" before it and the "0" stays editable.
    EXPECT_EQ(Kinds("\\\\\\0"), K({mkDirective, mkLiteral, mkDirective, mkRequired}));
    // Escaped directives, separators and digits stand for themselves.
    EXPECT_EQ(Kinds("\\!\\<\\>\\/\\:\\0\\L"),
              K({mkDirective, mkLiteral, mkDirective, mkLiteral, mkDirective, mkLiteral, mkDirective, mkLiteral,
                 mkDirective, mkLiteral, mkDirective, mkLiteral, mkDirective, mkLiteral}));
    EXPECT_EQ(MaskToTextOffset("\\!\\<\\>\\/\\:\\0\\L", 14), 7);
    // A lone trailing "\" is a directive.
    EXPECT_EQ(Kinds("0\\"), K({mkRequired, mkDirective}));
}

TEST(MaskFunctions, EscapesInTheTail) {
    // An escaped ";" is a literal, and the character after it no field.
    EXPECT_EQ(Kinds("00\\;1"), K({mkRequired, mkRequired, mkDirective, mkLiteral, mkLiteral}));
    EXPECT_EQ(MaskToTextOffset("00\\;1", 5), 4);
    // After an escaped "\", a ";" is a separator again; the field rule's own
    // look-back sees the "\" before the ";" and makes the next one a literal.
    EXPECT_EQ(Kinds("\\\\;1"), K({mkDirective, mkLiteral, mkFieldSeparator, mkLiteral}));
    EXPECT_EQ(MaskToTextOffset("\\\\;1", 4), 2);
    EXPECT_EQ(TextMap("\\\\;1", 2), V({2, 2, 4, 4, -1}));
    // A separator at position 1 of a four-character mask: its field counts as
    // not preceded.
    EXPECT_EQ(Kinds(";abc"), K({mkFieldSeparator, mkField, mkLiteral, mkOptional}));
}

TEST(MaskFunctions, DirectivesTakeNoTextPosition) {
    const std::string_view m = "!>L<l<>c";
    EXPECT_EQ(Kinds(m), K({mkDirective, mkDirective, mkRequired, mkDirective, mkOptional, mkDirective, mkDirective,
                           mkOptional}));
    EXPECT_EQ(MaskToTextOffset(m, 8), 3);
    EXPECT_EQ(MaskToTextOffset(m, 2), 0);
    EXPECT_EQ(MaskToTextOffset(m, 4), 1);
    // A negative text position finds the first position that holds text.
    EXPECT_EQ(TextMap(m, 3), V({3, 3, 5, 8, 8, -1}));
    EXPECT_EQ(TextToMaskOffset(m, -100), 3);
    EXPECT_EQ(TextToMaskOffset("(000)", -1), 1);
    EXPECT_TRUE(IsLiteralPosition("(000)", -1));
    EXPECT_EQ(TextToMaskOffset("0>", 1), 2);
    EXPECT_FALSE(IsLiteralPosition("0>", 1));
    // A mask that ends in a literal: behind the text is that literal.
    EXPECT_EQ(TextToMaskOffset("00-", 3), 3);
    EXPECT_TRUE(IsLiteralPosition("00-", 3));
}

TEST(MaskFunctions, CaseDirectives) {
    const std::string_view m = "!>L<l<>c";
    EXPECT_EQ(MaskCaseAt(m, 1), (TMaskDirectives{.Reverse = true}));
    EXPECT_EQ(MaskCaseAt(m, 2), (TMaskDirectives{.Reverse = true}));
    EXPECT_EQ(MaskCaseAt(m, 3), (TMaskDirectives{.Reverse = true, .UpperCase = true}));
    EXPECT_EQ(MaskCaseAt(m, 5), (TMaskDirectives{.Reverse = true, .LowerCase = true}));
    EXPECT_EQ(MaskCaseAt(m, 7), (TMaskDirectives{.Reverse = true, .LowerCase = true}));
    EXPECT_EQ(MaskCaseAt(m, 8), (TMaskDirectives{.Reverse = true}));
    // "!" counts anywhere, "<" and ">" only before the position.
    EXPECT_EQ(MaskCaseAt("L>!", 1), (TMaskDirectives{.Reverse = true}));
    EXPECT_EQ(MaskCaseAt("<x>L", 4), (TMaskDirectives{.UpperCase = true}));
    EXPECT_EQ(MaskCaseAt("><L", 3), (TMaskDirectives{.LowerCase = true}));
    EXPECT_EQ(MaskCaseAt(">x", 2), (TMaskDirectives{.UpperCase = true, .Literal = true}));
    EXPECT_EQ(MaskCaseAt("x", 1), (TMaskDirectives{.Literal = true}));
    EXPECT_EQ(MaskCaseAt("/", 1), TMaskDirectives{});
    EXPECT_EQ(MaskCaseAt(">L", 9), (TMaskDirectives{.UpperCase = true}));
    EXPECT_EQ(MaskCaseAt("", 1), TMaskDirectives{});
    // The walk looks at characters, so an escaped ">" still switches case.
    EXPECT_EQ(MaskCaseAt("\\>a", 3), (TMaskDirectives{.UpperCase = true}));
}

TEST(MaskFunctions, LocaleLiterals) {
    EXPECT_EQ(LiteralDisplayChar('/', {'.', '-'}), '.');
    EXPECT_EQ(LiteralDisplayChar(':', {'.', '-'}), '-');
    EXPECT_EQ(LiteralDisplayChar('x', {'.', '-'}), 'x');
    EXPECT_EQ(LiteralDisplayChar('\\', {'.', '-'}), '\\');
    EXPECT_EQ(MaskLiteralAt("00/00", 3, Dots), '.');
    EXPECT_EQ(MaskLiteralAt("00:00", 3, {'/', 'h'}), 'h');
    EXPECT_EQ(MaskLiteralAt("00/00", 3, {}), '/');
    // Escaped, "/" and ":" stand for themselves.
    EXPECT_EQ(MaskLiteralAt("\\/0:", 2, Dots), '/');
    EXPECT_EQ(MaskLiteralAt("\\/0:", 4, Dots), '.');
    EXPECT_EQ(MaskLiteralAt("(0)", 1, Dots), '(');
    EXPECT_EQ(MaskLiteralAt("\\0", 2, Dots), '0');
    for (int p : {0, 1, 3, 5})
        EXPECT_EQ(MaskLiteralAt("\\/0:", p, Dots), std::nullopt) << p;
    EXPECT_EQ(MaskLiteralAt("00;1;_", 4, Dots), std::nullopt);
}

TEST(MaskFunctions, WhatEachMaskCharacterAccepts) {
    const auto accepts = [](char maskChar, std::string_view chars) {
        std::string taken;
        for (char c : chars)
            if (MaskCharAccepts(maskChar, c, Letters))
                taken += c;
        return taken;
    };
    const std::string_view probe = std::string_view("09 +-aZ\xE4\xDF!_/\0", 13);
    EXPECT_EQ(accepts('0', probe), "09");
    EXPECT_EQ(accepts('9', probe), "09");
    EXPECT_EQ(accepts('#', probe), "09 +-");
    EXPECT_EQ(accepts('L', probe), "aZ\xE4\xDF");
    EXPECT_EQ(accepts('l', probe), "aZ\xE4\xDF");
    EXPECT_EQ(accepts('A', probe), "09aZ\xE4\xDF");
    EXPECT_EQ(accepts('a', probe), "09aZ\xE4\xDF");
    EXPECT_EQ(accepts('C', probe), probe);
    EXPECT_EQ(accepts('c', probe), probe);
    for (char maskChar : {'x', '/', ':', '\\', '>', ';', '\0'})
        EXPECT_EQ(accepts(maskChar, probe), "") << maskChar;
    // Digits beyond ASCII are no digits.
    EXPECT_FALSE(MaskCharAccepts('0', '\xB2', Letters));
}

TEST(MaskFunctions, FittingTypedCharacters) {
    const auto fit = [](std::string_view mask, int p, char key) { return MaskFitChar(mask, p, key, Dots, Letters); };
    // Literals: whatever is typed, the shown literal.
    EXPECT_EQ(fit("00/00", 3, 'x'), '.');
    EXPECT_EQ(fit("(0)", 3, '9'), ')');
    EXPECT_EQ(fit("\\/0", 2, '.'), '/');
    // Editable positions take what the table allows, unchanged without
    // directives.
    EXPECT_EQ(fit("00/00", 1, '7'), '7');
    EXPECT_EQ(fit("00/00", 1, 'a'), std::nullopt);
    EXPECT_EQ(fit("#", 1, '-'), '-');
    EXPECT_EQ(fit("L", 1, 'q'), 'q');
    EXPECT_EQ(fit("L", 1, '1'), std::nullopt);
    EXPECT_EQ(fit("\\0", 2, '5'), '0');
    // Case conversion at letter positions.
    EXPECT_EQ(fit(">L", 2, 'b'), 'B');
    EXPECT_EQ(fit(">a", 2, '\xE4'), '\xC4');
    EXPECT_EQ(fit(">a", 2, '3'), '3');
    EXPECT_EQ(fit("<C", 2, 'Q'), 'q');
    EXPECT_EQ(fit("<C", 2, '\xDC'), '\xFC');
    EXPECT_EQ(fit("<C", 2, '%'), '%');
    EXPECT_EQ(fit("<>C", 3, 'Q'), 'Q');
    EXPECT_EQ(fit("<>C", 3, 'q'), 'q');
    EXPECT_EQ(fit(">c<c", 2, 'x'), 'X');
    EXPECT_EQ(fit(">c<c", 4, 'X'), 'x');
    // Digit and sign positions never convert.
    EXPECT_EQ(fit(">#", 2, ' '), ' ');
    // Positions that take no character.
    EXPECT_EQ(fit(">L", 1, 'a'), std::nullopt);
    EXPECT_EQ(fit("00;1;_", 4, '1'), std::nullopt);
    EXPECT_EQ(fit("00;1;_", 3, ';'), std::nullopt);
    EXPECT_EQ(fit("00", 3, '0'), std::nullopt);
    EXPECT_EQ(fit("00", 0, '0'), std::nullopt);
    EXPECT_EQ(fit("", 1, '0'), std::nullopt);
}

TEST(MaskFunctions, PositionsOutsideTheMask) {
    for (int p : {-1000, -1, 0, 6, 1000})
        EXPECT_EQ(MaskCharKind("00/00", p), mkNone) << p;
    EXPECT_EQ(MaskToTextOffset("00/00", -5), 0);
    EXPECT_EQ(MaskToTextOffset("00/00", 0), 0);
    EXPECT_EQ(MaskToTextOffset("00/00", 1000), 5);
    EXPECT_EQ(TextToMaskOffset("00/00", 1000), -1);
    EXPECT_EQ(TextToMaskOffset("00/00", INT32_MAX), -1);
    EXPECT_EQ(TextToMaskOffset(">00/00", INT32_MIN), 2);
    EXPECT_EQ(MaskToTextOffset("00/00", INT32_MIN), 0);
    EXPECT_EQ(MaskToTextOffset("00/00", INT32_MAX), 5);
    EXPECT_EQ(MaskCharKind("", 1), mkNone);
    EXPECT_EQ(MaskToTextOffset("", 1), 0);
    EXPECT_EQ(TextToMaskOffset("", 0), 0);
    EXPECT_EQ(TextToMaskOffset("", -1), 0);
    EXPECT_EQ(TextToMaskOffset("", 1), -1);
    EXPECT_FALSE(IsLiteralPosition("", 0));
    EXPECT_FALSE(IsLiteralPosition("(", 2));
}

TEST(MaskFunctions, MasksAreCutAt255Characters) {
    const std::string full(255, '0');
    EXPECT_EQ(MaskToTextOffset(full + ";1;_", 1000), 255);
    EXPECT_EQ(MaskCharKind(full + ";1;_", 256), mkNone);
    EXPECT_EQ(TextToMaskOffset(full + ";1;_", 255), 255);
    EXPECT_EQ(TextToMaskOffset(full + ";1;_", 256), -1);
    // The tail rule applies to the last four characters of what is kept.
    const std::string cut = std::string(252, '0') + ";1;_";
    EXPECT_EQ(MaskCharKind(cut, 253), mkFieldSeparator);
    EXPECT_EQ(MaskCharKind(cut, 254), mkField);
    EXPECT_EQ(MaskCharKind(cut, 255), mkFieldSeparator);
    EXPECT_EQ(MaskToTextOffset(cut, 1000), 252);
    EXPECT_EQ(TextToMaskOffset(cut, 252), 255);
    // Directives beyond the cut do not count either.
    EXPECT_EQ(MaskCaseAt(std::string(255, 'L') + ">L", 257), TMaskDirectives{});
    EXPECT_EQ(MaskCaseAt(std::string(255, 'L') + "!", 1), TMaskDirectives{});
    EXPECT_FALSE(IsLiteralPosition(full + "-", 255));
}
