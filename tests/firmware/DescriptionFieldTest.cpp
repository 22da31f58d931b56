#include <gtest/gtest.h>

#include <QString>
#include <limits>

#include "firmware/DescriptionField.h"

TEST(DescriptionField, KindsAreTestedTrimmedAndCaseFolded) {
    EXPECT_TRUE(DescriptionField::isVersionField(u" V1.0.2\t"));
    EXPECT_FALSE(DescriptionField::isVersionField(u"1.0.2v"));
    EXPECT_TRUE(DescriptionField::isChecksumField(u"\r\n0X2a "));
    EXPECT_FALSE(DescriptionField::isChecksumField(u"x0x2A"));
    EXPECT_TRUE(DescriptionField::isImageFileField(u" Firmware.HEX"));
    EXPECT_TRUE(DescriptionField::isImageFileField(u"a.hex.bak"));
    // Kinds are independent of each other.
    EXPECT_TRUE(DescriptionField::isVersionField(u"version.hex"));
    EXPECT_TRUE(DescriptionField::isImageFileField(u"version.hex"));
    // A letter with an accent is not the letter.
    EXPECT_FALSE(DescriptionField::isVersionField(QStringLiteral("v\u0301 1.0")));
    EXPECT_FALSE(DescriptionField::isImageFileField(QStringLiteral("fw.hex\u0301")));
}

TEST(DescriptionField, ChecksumIsReadAsWrittenAfterDroppingEveryLowerCase0x) {
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0x2A"), 42);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0x0x12"), 18);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0xffFF"), 0xFFFF);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0x-1"), -1);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"+0x10"), 16);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0x"), std::nullopt);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0x-"), std::nullopt);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0X2A"), std::nullopt);
    EXPECT_EQ(DescriptionField::parseChecksumField(u" 0x2A"), std::nullopt);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0x2A\r"), std::nullopt);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0x+-1"), std::nullopt);
    EXPECT_EQ(DescriptionField::parseChecksumField(QStringLiteral("0x２A")), std::nullopt);
}

TEST(DescriptionField, ChecksumCoversExactlyTheSigned64BitRange) {
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0x7FFFFFFFFFFFFFFF"), max);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0x00007FFFFFFFFFFFFFFF"), max);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0x8000000000000000"), std::nullopt);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"-0x8000000000000000"), min);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"-0x8000000000000001"), std::nullopt);
    EXPECT_EQ(DescriptionField::parseChecksumField(u"0x1FFFFFFFFFFFFFFFF"), std::nullopt);
}
