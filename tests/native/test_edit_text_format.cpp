#include <gtest/gtest.h>

#include "core/EditTextFormat.h"

TEST(ExpandTextFormat, TextConversionsWithFlagsWidthAndPrecision) {
    struct Case {
        const char *pattern, *value, *expected;
    };
    const Case cases[] = {
        {"%s", "abc", "abc"},
        {"<%s>", "abc", "<abc>"},
        {"%5s", "ab", "   ab"},
        {"%-5s|", "ab", "ab   |"},
        {"%.2s", "abcdef", "ab"},
        {"%6.3s", "abcdef", "   abc"},
        {"%-6.3s|", "abcdef", "abc   |"},
        {"%.s|", "abc", "|"},
        {"%1s", "abc", "abc"},
        {"%S", "x", "x"},
        {"100%%", "v", "100%"},
        {"%s-%s", "v", "v-v"},
        {"", "v", ""},
        {"plain", "v", "plain"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ExpandTextFormat(c.pattern, c.value), std::optional<std::string>(c.expected)) << c.pattern;
}

TEST(ExpandTextFormat, OtherConversionsCannotTakeAText) {
    for (const char *pattern : {"%d", "%x", "%5.2f", "abc%", "%-", "%5", "%.3", "%+s", "%0:s", "%*s", "% s", "%u"})
        EXPECT_EQ(ExpandTextFormat(pattern, "v"), std::nullopt) << pattern;
}

TEST(ExpandTextFormat, CutTo255EvenForHugeWidths) {
    const std::string v(300, 'x');
    EXPECT_EQ(*ExpandTextFormat("%s", v), std::string(255, 'x'));
    // Right-justified in a huge width: only the padding fits.
    EXPECT_EQ(*ExpandTextFormat("%99999999999999999999s", "v"), std::string(255, ' '));
    EXPECT_EQ(*ExpandTextFormat("%-300s", "v"), "v" + std::string(254, ' '));
    EXPECT_EQ(*ExpandTextFormat("%s%%", std::string(255, 'y')), std::string(255, 'y'));
    EXPECT_EQ(ExpandTextFormat("ab%s", "cd", 3), std::optional<std::string>("abc"));
}

TEST(ReplaceIgnoringCase, EveryOccurrenceInAnyCaseAndNotTheInsertedText) {
    EXPECT_EQ(ReplaceIgnoringCase("a [Minimum] b [MINIMUM] c [minimum]", "[Minimum]", "10"), "a 10 b 10 c 10");
    EXPECT_EQ(ReplaceIgnoringCase("x[Minimum]", "[Minimum]", "[minimum]"), "x[minimum]");
    EXPECT_EQ(ReplaceIgnoringCase("betr\xE4gt [Maximum]", "[Maximum]", ""), "betr\xE4gt ");
    EXPECT_EQ(ReplaceIgnoringCase("[Minimu", "[Minimum]", "1"), "[Minimu");
    EXPECT_EQ(ReplaceIgnoringCase("abc", "", "1"), "abc");
}
