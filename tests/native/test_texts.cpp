// A secret text leaves nothing readable in the strings it took over or gave
// up, whether the text lived inside the string object or on the heap.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/Texts.h"

namespace {
bool Zeroed(const char *Data, std::size_t Size) { return std::all_of(Data, Data + Size, [](char c) { return !c; }); }
} // namespace

TEST(SecretText, WipesWhatItTakesOverAndGivesUp) {
    for (const std::string &secret : {std::string("pw12345"), std::string(40, 'p')}) {
        std::string source = secret;
        const char *inSource = source.data();
        SecretText taken(std::move(source));
        EXPECT_EQ(*taken, secret);
        const bool inObject = secret.size() < sizeof(std::string); // copied, not moved
        if (inObject) {
            EXPECT_TRUE(Zeroed(inSource, secret.size()));
        }

        const char *inTaken = taken->data();
        SecretText moved(std::move(taken));
        EXPECT_EQ(*moved, secret);
        EXPECT_TRUE(taken->empty());
        if (inObject) {
            EXPECT_TRUE(Zeroed(inTaken, secret.size()));
        }

        SecretText assigned(std::string("an older text"));
        assigned = std::move(moved);
        EXPECT_EQ(*assigned, secret);
        EXPECT_TRUE(moved->empty());
        EXPECT_TRUE(Zeroed(moved->data(), moved->capacity()));
    }
}
