#include <gtest/gtest.h>

#include "core/FormValue.h"

TEST(EncodeFormValue, KnownValues) {
    struct Case {
        std::string in;
        std::string asPercent, asPlus;
    };
    const Case cases[] = {
        {"", "", ""},
        {"abc XYZ", "abc%20XYZ", "abc+XYZ"},
        {"a&b=c", "a%26b%3Dc", "a%26b%3Dc"},
        {"100%", "100%25", "100%25"},
        {"+", "%2B", "%2B"},
        {"\xE4", "%E4", "%E4"},
        {"\xDF", "%DF", "%DF"},
        {"\n", "%0A", "%0A"},
        {"-._~", "%2D%2E%5F%7E", "%2D%2E%5F%7E"},
        {"*", "%2A", "%2A"},
        {std::string("a\0b", 3), "a%00b", "a%00b"},
        {"\xFF\x80\x7F", "%FF%80%7F", "%FF%80%7F"},
        {"09AZaz", "09AZaz", "09AZaz"},
        {"@[`{/:", "%40%5B%60%7B%2F%3A", "%40%5B%60%7B%2F%3A"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(EncodeFormValue(c.in, false), c.asPercent) << c.in;
        EXPECT_EQ(EncodeFormValue(c.in, true), c.asPlus) << c.in;
    }
}

TEST(EncodeFormValue, EveryByteEncodesToOneOrThreeCharacters) {
    for (int b = 0; b < 256; ++b) {
        const std::string in(1, static_cast<char>(b));
        const std::string out = EncodeFormValue(in, false);
        const bool alnum = std::isalnum(b) && b < 128;
        ASSERT_EQ(out.size(), alnum ? 1u : 3u) << b;
        if (!alnum) {
            EXPECT_EQ(std::stoi(out.substr(1), nullptr, 16), b);
        }
    }
}
