#include <gtest/gtest.h>

#include <QString>

#include "config/ConfigValue.h"
#include "config/StrictBase64.h"

TEST(ConfigValue, BooleanIsDecidedByTheFirstCharacterAfterSignAndZerosAndIsNeverAbsent) {
    for (const char* text : {"true", "1", "007", "Yes", "+0t", "  T", "-9"})
        EXPECT_TRUE(ConfigValue::toBoolean(QString::fromUtf8(text))) << text;
    for (const char* text : {"false", "no", "0", "", "+-1", "000", "١"})
        EXPECT_FALSE(ConfigValue::toBoolean(QString::fromUtf8(text))) << text;
}

TEST(ConfigValue, IntegerTakesOnlyASignAndDecimalDigitsWithinSixtyFourBits) {
    EXPECT_EQ(ConfigValue::toInteger(u"+42"), 42);
    EXPECT_EQ(ConfigValue::toInteger(u"-9223372036854775808"), INT64_MIN);
    for (const char* text : {"", "-", "0x10", "1 2", " 42", "4.0", "9223372036854775808",
                             "-9223372036854775809", "١٢"})
        EXPECT_EQ(ConfigValue::toInteger(QString::fromUtf8(text)), std::nullopt) << text;
}

TEST(StrictBase64, RejectsLineBreaksSpacesAndMissingPadding) {
    EXPECT_EQ(StrictBase64::decode("PENvbmZpZy8+"), QByteArray("<Config/>"));
    EXPECT_EQ(StrictBase64::decode("QQ=="), QByteArray("A"));
    for (const char* text : {"PENvbmZpZy8+\n", "PENv\nbmZpZy8+", "PENvbmZp Zy8+", "QUI", "QQ",
                             "QQ=A", "Q===", "PENvbmZpZy8-"})
        EXPECT_EQ(StrictBase64::decode(text), std::nullopt) << text;
}
