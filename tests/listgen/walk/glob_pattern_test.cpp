#include "listgen/walk/glob_pattern.h"

#include <gtest/gtest.h>

#include <fnmatch.h>

#include <random>
#include <string>

using listgen::globMatches;

// fnmatch(3) is the reference; random patterns over the characters that mean something to it
// (and the odd class, range and escape) must get the same answer.
TEST(GlobPattern, AgreesWithFnmatchOnRandomPatterns)
{
    std::mt19937 random(20261207);
    const std::string patternBytes = "ab*?[]!-\\^.:=";
    const std::string textBytes = "ab-]\\.[^!*?:";
    const char* pieces[] = {"[:alpha:]", "[[:digit:]]", "[!a-b]", "[a-]", "[]a]", "[\\]]", "[.a.]", "[=b=]", "[:nope:]"};
    for (int i = 0; i < 300'000; ++i) {
        std::string pattern;
        std::string text;
        for (unsigned n = random() % 10; n > 0; --n) {
            if (random() % 10 == 0)
                pattern += pieces[random() % std::size(pieces)];
            else
                pattern += patternBytes[random() % patternBytes.size()];
        }
        for (unsigned n = random() % 8; n > 0; --n)
            text += textBytes[random() % textBytes.size()];
        ASSERT_EQ(globMatches(pattern, text), ::fnmatch(pattern.c_str(), text.c_str(), 0) == 0)
            << "pattern " << pattern << " text " << text;
    }
}

TEST(GlobPattern, ManyStarsTakeNoLongerThanTheTextIsLong)
{
    std::string pattern;
    for (int i = 0; i < 200; ++i)
        pattern += "*a";
    const std::string text(20'000, 'a');
    EXPECT_FALSE(globMatches(pattern + "b", text));
    EXPECT_TRUE(globMatches(pattern, text));
    EXPECT_TRUE(globMatches("\xE6\x97\xA5*[\x80-\xFF]", "\xE6\x97\xA5\xE6\x9C\xAC"));
}
