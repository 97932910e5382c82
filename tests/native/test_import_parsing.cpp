#include <gtest/gtest.h>

#include <cctype>

#include "StringText.h"
#include "core/AnswerScan.h"
#include "core/IntegerText.h"
#include "core/ParamText.h"

namespace {
bool AsciiEqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}
std::string Value(std::string_view params, std::string_view name) {
    return std::string(ParamValue(params, name, AsciiEqualsIgnoringCase));
}
} // namespace

TEST(ParamText, LinesEndAtCrLfOrBoth) {
    EXPECT_EQ(Value("a=1\rb=2\nc=3\r\nd=4", "b"), "2");
    EXPECT_EQ(Value("a=1\rb=2\nc=3\r\nd=4", "c"), "3");
    EXPECT_EQ(Value("a=1\rb=2\nc=3\r\nd=4", "d"), "4");
    EXPECT_EQ(Value("a=1\n\r\r\nb=2", "b"), "2");
    EXPECT_EQ(Value("", "a"), "");
    EXPECT_EQ(Value("\r\n\r\n", "a"), "");
}

TEST(ParamText, FirstMatchingLineWinsAndKeepsEverythingAfterTheFirstEquals) {
    EXPECT_EQ(Value("UserLogin=x=y\r\nUserLogin=z", "UserLogin"), "x=y");
    EXPECT_EQ(Value("userlogin=low", "UserLogin"), "low");
    EXPECT_EQ(Value("UserLogin", "UserLogin"), "");
    EXPECT_EQ(Value("UserLogin=", "UserLogin"), "");
    EXPECT_EQ(Value("=v", ""), "v");
}

TEST(ParamText, NamesAreNotTrimmed) {
    EXPECT_EQ(Value("UserLogin =a", "UserLogin"), "");
    EXPECT_EQ(Value(" UserLogin=a", "UserLogin"), "");
    EXPECT_EQ(Value("UserLogin= a ", "UserLogin"), " a ");
}

TEST(ParamText, TrimAndSwitch) {
    EXPECT_EQ(TrimControls(std::string("\0\x01 \t a b \x1F\x20", 11)), "a b");
    EXPECT_EQ(TrimControls(" \t\r "), "");
    EXPECT_EQ(TrimControls("\x21x\x7F"), "\x21x\x7F");
    EXPECT_EQ(TrimControls("\xA0x\xA0"), "\xA0x\xA0");
    EXPECT_TRUE(IsTrueSwitch("true"));
    EXPECT_TRUE(IsTrueSwitch("TrUe"));
    EXPECT_FALSE(IsTrueSwitch("1"));
    EXPECT_FALSE(IsTrueSwitch("yes"));
    EXPECT_FALSE(IsTrueSwitch("true "));
    EXPECT_FALSE(IsTrueSwitch("truee"));
}

TEST(IniInteger, Forms) {
    EXPECT_EQ(ParseIniInteger("30"), 30);
    EXPECT_EQ(ParseIniInteger("0x1E"), 30);
    EXPECT_EQ(ParseIniInteger("0X1e"), 30);
    EXPECT_EQ(ParseIniInteger("$1E"), 30);
    EXPECT_EQ(ParseIniInteger("-5"), -5);
    EXPECT_EQ(ParseIniInteger("0"), 0);
    EXPECT_EQ(ParseIniInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseIniInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseIniInteger("$FFFFFFFF"), -1);
    for (const char *bad : {"", "0x", "$", "true", "1a", "12 ", " 12", "2147483648", "0x100000000", "-", "x1E", "1.5"})
        EXPECT_FALSE(ParseIniInteger(bad).has_value()) << bad;
}

// Announced lengths: the same forms, beyond any range a saturated value.
TEST(IniInteger, WideForms) {
    EXPECT_EQ(ParseWideInteger("+100"), 100);
    EXPECT_EQ(ParseWideInteger("0x64"), 100);
    EXPECT_EQ(ParseWideInteger("$FFFFFFFF"), 4294967295);
    EXPECT_EQ(ParseWideInteger("-7"), -7);
    EXPECT_EQ(ParseWideInteger("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(ParseWideInteger("99999999999999999999999"), INT64_MAX);
    EXPECT_EQ(ParseWideInteger("-99999999999999999999999"), INT64_MIN);
    for (const char *bad : {"", "+", "0x", "$", "1a", " 12", "12 ", "zehn"})
        EXPECT_FALSE(ParseWideInteger(bad).has_value()) << bad;
}

TEST(AnswerScan, ErrorAnswer) {
    EXPECT_TRUE(IsErrorAnswer(StringText{"<error>"}));
    EXPECT_FALSE(IsErrorAnswer(StringText{"<error"}));
    EXPECT_FALSE(IsErrorAnswer(StringText{" <error>"}));
    EXPECT_FALSE(IsErrorAnswer(StringText{"<?xml version=\"1.0\"?><error>"}));
    EXPECT_FALSE(IsErrorAnswer(StringText{"<ERROR>"}));

    auto e = ReadPortalError(StringText{"<error><number>42</number><message>Kennung gesperrt</message></error>"});
    EXPECT_EQ(e.Number, "42");
    EXPECT_EQ(e.Message, "Kennung gesperrt");
    e = ReadPortalError(StringText{"<error><number>7</number></error>"});
    EXPECT_EQ(e.Number, "7");
    EXPECT_EQ(e.Message, "");
    // The first closing tag decides, even when it stands before the opening one.
    e = ReadPortalError(StringText{"<error></number><number>7</number><message>a</message><message>b</message>"});
    EXPECT_EQ(e.Number, "");
    EXPECT_EQ(e.Message, "a");
    e = ReadPortalError(StringText{"<error><number></number><message>"});
    EXPECT_EQ(e.Number, "");
    EXPECT_EQ(e.Message, "");
    // A huge number or message is kept as its start.
    const std::string huge(PortalTextLimit + 1, 'h');
    e = ReadPortalError(StringText{"<error><number>" + huge + "</number><message>" + huge + "x</message>"});
    EXPECT_EQ(e.Number, huge.substr(0, PortalTextLimit));
    EXPECT_EQ(e.Message, huge.substr(0, PortalTextLimit));
}

TEST(AnswerScan, Continuation) {
    const char *marker = "<ActionType>ContinueImport</ActionType>";
    auto c = ReadContinuation(StringText{std::string("<x><AfterImport>") + marker + "<I_Token>T1</I_Token></AfterImport></x>"});
    EXPECT_TRUE(c.Requested);
    EXPECT_EQ(c.Token, "T1");
    c = ReadContinuation(StringText{std::string("<AfterImport>") + marker + "</AfterImport>"});
    EXPECT_TRUE(c.Requested);
    EXPECT_EQ(c.Token, "");
    // Marker or token outside the block do not count.
    c = ReadContinuation(StringText{std::string("<AfterImport></AfterImport>") + marker});
    EXPECT_FALSE(c.Requested);
    c = ReadContinuation(StringText{std::string("<AfterImport>") + marker + "</AfterImport><I_Token>T</I_Token>"});
    EXPECT_TRUE(c.Requested);
    EXPECT_EQ(c.Token, "");
    c = ReadContinuation(StringText{std::string("</AfterImport><AfterImport>") + marker + "</AfterImport>"});
    EXPECT_FALSE(c.Requested);
    // Only whole tags count, also where a tag name appears before them.
    c = ReadContinuation(StringText{std::string("AfterImport>x/AfterImport><AfterImport>") + marker +
                                    "<I_Token>T2</I_Token></AfterImport>"});
    EXPECT_TRUE(c.Requested);
    EXPECT_EQ(c.Token, "T2");
    c = ReadContinuation(StringText{std::string("<AfterImport>") + marker + "</AfterImport></AfterImport>"});
    EXPECT_TRUE(c.Requested);
    c = ReadContinuation(StringText{std::string("<AfterImport><ActionType>Done</ActionType></AfterImport>")});
    EXPECT_FALSE(c.Requested);
    c = ReadContinuation(StringText{std::string("<AfterImport>") + marker});
    EXPECT_FALSE(c.Requested);
    c = ReadContinuation(StringText{std::string("<AfterImport>") + marker + "<I_Token>a</AfterImport></I_Token>"});
    EXPECT_TRUE(c.Requested);
    EXPECT_EQ(c.Token, "");
}
