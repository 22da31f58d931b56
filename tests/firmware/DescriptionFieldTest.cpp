#include <gtest/gtest.h>

#include <QString>
#include <limits>

#include "firmware/DescriptionField.h"

TEST(DescriptionField, KindsIgnoreSurroundingSpaceAndCaseButNotAccents) {
    EXPECT_TRUE(DescriptionField::isVersionField(u" V1.0.2\t"));
    EXPECT_FALSE(DescriptionField::isVersionField(u"1.0.2v"));
    EXPECT_TRUE(DescriptionField::isChecksumField(u"\r\n0X2a "));
    EXPECT_FALSE(DescriptionField::isChecksumField(u"x0x2A"));
    EXPECT_TRUE(DescriptionField::isImageFileField(u" Firmware.HEX"));
    EXPECT_FALSE(DescriptionField::isVersionField(QStringLiteral("v\u0301 1.0")));
    EXPECT_FALSE(DescriptionField::isImageFileField(QStringLiteral("fw.hex\u0301")));
}

TEST(DescriptionField, ChecksumDropsEveryLowerCase0xThenNeedsASignedSixtyFourBitHexNumber) {
    const struct {
        const char16_t* text;
        std::optional<qint64> expected;
    } rows[] = {
        {u"0x2A", 42},
        {u"0x0x12", 18},
        {u"0x-1", -1},
        {u"0x7FFFFFFFFFFFFFFF", std::numeric_limits<qint64>::max()},
        {u"-0x8000000000000000", std::numeric_limits<qint64>::min()},
        {u"0x8000000000000000", std::nullopt},
        {u"0x", std::nullopt},
        {u"0X2A", std::nullopt},
        {u" 0x2A", std::nullopt},
        {u"0x2A\r", std::nullopt},
        {u"0x+-1", std::nullopt},
        {u"0x２A", std::nullopt}, // a full-width digit
    };
    for (const auto& row : rows)
        EXPECT_EQ(DescriptionField::parseChecksumField(row.text), row.expected)
            << QString::fromUtf16(row.text).toStdString();
}
