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
        SecretText taken(std::move(source));
        EXPECT_EQ(std::string_view(*taken), secret);
        // Copied into its wiping string; the source is wiped where it is.
        EXPECT_TRUE(Zeroed(source.data(), source.capacity()));

        const char *inTaken = taken->data();
        SecretText moved(std::move(taken));
        EXPECT_EQ(std::string_view(*moved), secret);
        EXPECT_TRUE(taken->empty());
        if (secret.size() < sizeof(WipingString)) { // copied out of the object, not moved
            EXPECT_TRUE(Zeroed(inTaken, secret.size()));
        }

        SecretText assigned(std::string("an older text"));
        assigned = std::move(moved);
        EXPECT_EQ(std::string_view(*assigned), secret);
        EXPECT_TRUE(moved->empty());
        EXPECT_TRUE(Zeroed(moved->data(), moved->capacity()));
    }
}
