#include <gtest/gtest.h>

#include <QString>
#include <cstdint>

#include "config/ConfigValue.h"

TEST(ConfigValue, BooleanIsDecidedByTheFirstCharacterAfterSignAndZerosAndIsNeverAbsent) {
    for (const char16_t* text : {u"true", u"1", u"007", u"Yes", u"+0t", u"  T", u"-9"})
        EXPECT_TRUE(ConfigValue::toBoolean(QStringView(text)))
            << QString::fromUtf16(text).toStdString();
    for (const char16_t* text : {u"false", u"no", u"0", u"", u"+-1", u"000", u"١"})
        EXPECT_FALSE(ConfigValue::toBoolean(QStringView(text)))
            << QString::fromUtf16(text).toStdString();
}

TEST(ConfigValue, IntegerTakesOnlyASignAndDecimalDigitsWithinSixtyFourBits) {
    EXPECT_EQ(ConfigValue::toInteger(u"+42"), 42);
    EXPECT_EQ(ConfigValue::toInteger(u"-9223372036854775808"), INT64_MIN);
    for (const char16_t* text : {u"", u"-", u"0x10", u"1 2", u" 42", u"4.0", u"9223372036854775808",
                                 u"-9223372036854775809", u"١٢"})
        EXPECT_EQ(ConfigValue::toInteger(QStringView(text)), std::nullopt)
            << QString::fromUtf16(text).toStdString();
}
