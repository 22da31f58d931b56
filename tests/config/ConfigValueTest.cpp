#include <gtest/gtest.h>

#include <QString>
#include <limits>

#include "config/ConfigValue.h"

TEST(ConfigValue, BooleanLooksAtTheFirstCharacterAfterSignAndZeros) {
    for (const char16_t* text :
         {u"true", u"1", u"007", u"Yes", u"+0t", u"y", u"  T", u"-9", u"\t\n 00000001", u"Tuesday"})
        EXPECT_TRUE(ConfigValue::toBoolean(QStringView(text)))
            << QString::fromUtf16(text).toStdString();
    for (const char16_t* text : {u"false", u"no", u"0", u"", u"   ", u"+-1", u"000", u"on", u"x1",
                                 u"١"}) // an Arabic-Indic one is not a "1"
        EXPECT_FALSE(ConfigValue::toBoolean(QStringView(text)))
            << QString::fromUtf16(text).toStdString();
}

TEST(ConfigValue, IntegerIsASignAndDecimalDigitsWithinSixtyFourBits) {
    EXPECT_EQ(ConfigValue::toInteger(u"+42"), 42);
    EXPECT_EQ(ConfigValue::toInteger(u"-17"), -17);
    EXPECT_EQ(ConfigValue::toInteger(u"4617"), 4617);
    EXPECT_EQ(ConfigValue::toInteger(u"007"), 7);
    EXPECT_EQ(ConfigValue::toInteger(u"9223372036854775807"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ConfigValue::toInteger(u"-9223372036854775808"), std::numeric_limits<int64_t>::min());

    for (const char16_t* text :
         {u"", u"+", u"-", u"0x10", u"1 2", u" 42", u"42 ", u"1e3", u"4.0", u"++1",
          u"9223372036854775808", u"-9223372036854775809", u"99999999999999999999999", u"١٢"})
        EXPECT_EQ(ConfigValue::toInteger(QStringView(text)), std::nullopt)
            << QString::fromUtf16(text).toStdString();
}
