// The release description: its fields, a line of an online version list, a whole file.
#include <gtest/gtest.h>

#include <QString>
#include <limits>

#include "firmware/DescriptionField.h"
#include "firmware/DescriptionFile.h"
#include "firmware/DescriptionLine.h"

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

TEST(DescriptionLine, ListLineGivesTheFirstChecksumAndImageAsWrittenOrKeepsTheOldChecksum) {
    const struct {
        const char* line;
        std::optional<qint64> checkSum;
        std::optional<QString> imageFile;
    } rows[] = {
        {"V1.0.2,0x2A,fw.hex", 42, "fw.hex"},
        {"V1.0.2, 0x2A, fw.hex", std::nullopt, " fw.hex"}, // the spaces stay and spoil both
        {"fw.HEX,0x1,0x2,other.hex,V1", 1, "fw.HEX"},
        {"V1.0.2,0x2A", 42, std::nullopt},
        {"V1.0.2,fw.hex", 7, std::nullopt}, // no checksum: the old one stays, no image either
        {",,", 7, std::nullopt},
    };
    for (const auto& row : rows) {
        const auto result = DescriptionLine::applyListLine(QString::fromUtf8(row.line), 7);
        EXPECT_EQ(result.checkSum, row.checkSum) << row.line;
        EXPECT_EQ(result.imageFile, row.imageFile) << row.line;
    }
}

TEST(DescriptionFile, OnlyTheFirstNonCommentCrLfLineCountsAndItsLastChecksumWins) {
    const struct {
        const char* text;
        std::optional<qint64> current;
        std::optional<qint64> expected;
    } rows[] = {
        {"// notes\r\nV1.0.2,0x2A,fw.hex", std::nullopt, 42},
        {"\r\n//a\r\n//b\r\nV1,0x1\r\nV2,0x2\r\n", std::nullopt, 1},
        {"V1,0x1,fw.hex,0x2", std::nullopt, 2},
        {"V1,0x1,0xZZ", 5, std::nullopt},  // an unreadable last field still wins
        {"V1,fw.hex\r\nV2,0x2\r\n", 7, 7}, // no checksum field keeps the old value
        {"// only notes\r\n", 7, 7},
        {" //x,0x5\r\nV1,0x1", 7, 5}, // a comment starts in the first column
        {"", 7, 7},
        {"// notes\nV1,0x2A,fw.hex\n", 7, 7},    // LF only: the whole file is one comment
        {"V1,0x1\nV2,0x2", std::nullopt, 2},     // LF only: one line, "0x1\nV2" is no number
        {"V1,0x1\rV2,0x2\r\n", std::nullopt, 2}, // nor does a CR alone end a line
    };
    for (const auto& row : rows)
        EXPECT_EQ(DescriptionFile::applyChecksumFile(QString::fromUtf8(row.text), row.current),
                  row.expected)
            << row.text;
}
