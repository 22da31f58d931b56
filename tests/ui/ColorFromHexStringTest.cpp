#include <gtest/gtest.h>

#include "ui/ColorFromHexString.h"

static void expectRgb(const std::optional<QColor>& colour, int red, int green, int blue,
                      double alpha = 1.0) {
    ASSERT_TRUE(colour.has_value());
    EXPECT_NEAR(colour->redF(), red / 255.0, 1e-6);
    EXPECT_NEAR(colour->greenF(), green / 255.0, 1e-6);
    EXPECT_NEAR(colour->blueF(), blue / 255.0, 1e-6);
    EXPECT_NEAR(colour->alphaF(), alpha, 1e-6);
}

TEST(ColorFromHexString, ReadsSixDigitsWithOrWithoutHashAndSurroundingSpace) {
    expectRgb(colorFromHexString(" #db7093\n", 1.0), 219, 112, 147);
    expectRgb(colorFromHexString("db7093", 1.0), 219, 112, 147);
    expectRgb(colorFromHexString("0xDB7093", 1.0), 219, 112, 147);
    expectRgb(colorFromHexString("#0d1a26", 0.8), 13, 26, 38, 0.8);
}

TEST(ColorFromHexString, KeepsOnlyTheLowest24BitsAndStopsAtTheFirstNonDigit) {
    expectRgb(colorFromHexString("#ffdb7093"), 219, 112, 147);
    expectRgb(colorFromHexString("fff"), 0, 15, 255);
    expectRgb(colorFromHexString("#db7093zz"), 219, 112, 147);
    expectRgb(colorFromHexString("0x"), 0, 0, 0); // the 0 is a digit, the x ends the number
}

TEST(ColorFromHexString, NoDigitGivesNoColour) {
    EXPECT_FALSE(colorFromHexString("#").has_value());
    EXPECT_FALSE(colorFromHexString("").has_value());
    EXPECT_FALSE(colorFromHexString("#ghijk").has_value());
    EXPECT_FALSE(colorFromHexString("  \n").has_value());
}
