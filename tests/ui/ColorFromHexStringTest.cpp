#include <gtest/gtest.h>

#include "ui/ColorFromHexString.h"

TEST(ColorFromHexString, ReadsTheLowest24BitsOfTheLeadingHexDigitsAfterAnOptionalPrefix) {
    const std::pair<const char*, QRgb> rows[] = {
        {" #db7093\n", 0xdb7093}, {"0xDB7093", 0xdb7093}, {"#ffdb7093", 0xdb7093},
        {"#db7093zz", 0xdb7093},  {"fff", 0x000fff},      {"#0d1a26", 0x0d1a26},
        {"0x", 0x000000}, // "0", then x ends it
    };
    for (const auto& [text, rgb] : rows)
        EXPECT_EQ(colorFromHexString(text).value_or(Qt::transparent).rgba(), rgb | 0xFF000000u)
            << text;
    EXPECT_NEAR(colorFromHexString("#0d1a26", 0.8)->alphaF(), 0.8, 1e-6);
    for (const char* text : {"#", "", "#ghijk", "  \n"})
        EXPECT_FALSE(colorFromHexString(text)) << text;
}
