#include "framework/WholeNumber.h"

#include <gtest/gtest.h>

TEST(WholeNumber, AcceptsDecimalDigitsWithSignAndBlanks)
{
    EXPECT_EQ(ParseWholeNumber("0"), 0);
    EXPECT_EQ(ParseWholeNumber("80"), 80);
    EXPECT_EQ(ParseWholeNumber("-5"), -5);
    EXPECT_EQ(ParseWholeNumber("+7"), 7);
    EXPECT_EQ(ParseWholeNumber("  42\t"), 42);
    EXPECT_EQ(ParseWholeNumber("007"), 7);
}

TEST(WholeNumber, KeepsTheWhole32BitRangeAndNothingBeyond)
{
    EXPECT_EQ(ParseWholeNumber("2147483647"), 2147483647);
    EXPECT_EQ(ParseWholeNumber("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseWholeNumber("2147483648"), std::nullopt);
    EXPECT_EQ(ParseWholeNumber("-2147483649"), std::nullopt);
    EXPECT_EQ(ParseWholeNumber("99999999999999999999999"), std::nullopt);
}

TEST(WholeNumber, RefusesEverythingElse)
{
    for (const char* text : {"", "   ", "abc", "12abc", "1 2", "--1", "+-1", "-", "+", "0x10",
                             "1.5", "1e3", "\xef\xbc\x91"})
    {
        EXPECT_EQ(ParseWholeNumber(text), std::nullopt) << '"' << text << '"';
    }
}
