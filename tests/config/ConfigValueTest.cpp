#include <gtest/gtest.h>

#include <QString>

#include "config/ConfigValue.h"
#include "config/StrictBase64.h"

TEST(ConfigValue, BooleanIsDecidedByTheFirstCharacterAfterSignAndZerosAndIsNeverAbsent) {
    for (const char16_t* text : {u"true", u"1", u"007", u"Yes", u"+0t", u"  T", u"-9"})
        EXPECT_TRUE(ConfigValue::toBoolean(text)) << QString::fromUtf16(text).toStdString();
    for (const char16_t* text : {u"false", u"no", u"0", u"", u"+-1", u"000", u"١"})
        EXPECT_FALSE(ConfigValue::toBoolean(text)) << QString::fromUtf16(text).toStdString();
}

TEST(ConfigValue, IntegerTakesOnlyASignAndDecimalDigitsWithinSixtyFourBits) {
    EXPECT_EQ(ConfigValue::toInteger(u"+42"), 42);
    EXPECT_EQ(ConfigValue::toInteger(u"-9223372036854775808"), INT64_MIN);
    for (const char16_t* text : {u"", u"-", u"0x10", u"1 2", u" 42", u"4.0", u"9223372036854775808",
                                 u"-9223372036854775809", u"١٢"})
        EXPECT_EQ(ConfigValue::toInteger(text), std::nullopt)
            << QString::fromUtf16(text).toStdString();
}

TEST(StrictBase64, RejectsLineBreaksSpacesAndMissingPadding) {
    EXPECT_EQ(StrictBase64::decode("PENvbmZpZy8+"), QByteArray("<Config/>"));
    EXPECT_EQ(StrictBase64::decode("QQ=="), QByteArray("A"));
    for (const char* text : {"PENvbmZpZy8+\n", "PENv\nbmZpZy8+", "PENvbmZp Zy8+", "QUI", "QQ",
                             "QQ=A", "Q===", "PENvbmZpZy8-"})
        EXPECT_EQ(StrictBase64::decode(text), std::nullopt) << text;
}
