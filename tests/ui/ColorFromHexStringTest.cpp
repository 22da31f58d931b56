#include <gtest/gtest.h>

#include "ui/ColorFromHexString.h"

TEST(ColorFromHexString, ReadsTheLowest24BitsOfTheLeadingHexDigitsAfterAnOptionalPrefix) {
    const struct {
        const char* text;
        QRgb rgb;
    } rows[] = {
        {" #db7093\n", 0xdb7093}, {"0xDB7093", 0xdb7093}, {"#ffdb7093", 0xdb7093},
        {"#db7093zz", 0xdb7093},  {"fff", 0x000fff},      {"0x", 0x000000}, // "0", then x ends it
    };
    for (const auto& row : rows) {
        const std::optional<QColor> colour = colorFromHexString(row.text);
        ASSERT_TRUE(colour) << row.text;
        EXPECT_EQ(colour->rgba(), row.rgb | 0xFF000000u) << row.text;
    }
    EXPECT_NEAR(colorFromHexString("#0d1a26", 0.8)->alphaF(), 0.8, 1e-6);
    for (const char* text : {"#", "", "#ghijk", "  \n"})
        EXPECT_FALSE(colorFromHexString(text)) << text;
}
