// The release description: its fields, a line of an online version list, a whole file.
#include <gtest/gtest.h>

#include <QString>
#include <limits>

#include "firmware/DescriptionField.h"
#include "firmware/DescriptionFile.h"
#include "firmware/DescriptionLine.h"

TEST(DescriptionField, KindsIgnoreSurroundingSpaceAndCaseButNotAccents) {
    EXPECT_TRUE(DescriptionField::isVersionField(u" V1.0.2\t"));
    EXPECT_TRUE(DescriptionField::isChecksumField(u"\r\n0X2a "));
    EXPECT_TRUE(DescriptionField::isImageFileField(u" Firmware.HEX"));
    EXPECT_FALSE(DescriptionField::isVersionField(u"1.0.2v") ||
                 DescriptionField::isChecksumField(u"x0x2A") ||
                 DescriptionField::isVersionField(QStringLiteral("v\u0301 1.0")) ||
                 DescriptionField::isImageFileField(QStringLiteral("fw.hex\u0301")));
}

TEST(DescriptionField, ChecksumDropsEveryLowerCase0xThenNeedsASignedSixtyFourBitHexNumber) {
    constexpr auto max = std::numeric_limits<qint64>::max(),
                   min = std::numeric_limits<qint64>::min();
    const std::pair<const char16_t*, qint64> valid[] = {{u"0x2A", 42},
                                                        {u"0x0x12", 18},
                                                        {u"0x-1", -1},
                                                        {u"0x7FFFFFFFFFFFFFFF", max},
                                                        {u"-0x8000000000000000", min}};
    for (const auto& [text, expected] : valid)
        EXPECT_EQ(DescriptionField::parseChecksumField(text), expected);
    // The last one has a full-width digit.
    for (const char16_t* text :
         {u"0x8000000000000000", u"0x", u"0X2A", u" 0x2A", u"0x2A\r", u"0x+-1", u"0x２A"})
        EXPECT_EQ(DescriptionField::parseChecksumField(text), std::nullopt)
            << QString::fromUtf16(text).toStdString();
}

TEST(DescriptionLine, ListLineGivesTheFirstChecksumAndImageAsWrittenOrKeepsTheOldChecksum) {
    const std::tuple<const char*, std::optional<qint64>, std::optional<QString>> rows[] = {
        {"V1.0.2,0x2A,fw.hex", 42, "fw.hex"},
        {"fw.HEX,0x1,0x2,other.hex,V1", 1, "fw.HEX"},
        {"V1.0.2, 0x2A, fw.hex", {}, " fw.hex"}, // the spaces stay and spoil both
        {"V1.0.2,0x2A", 42, {}},
        {"V1.0.2,fw.hex", 7, {}} // no checksum: the old one stays
    };
    for (const auto& [line, checkSum, imageFile] : rows) {
        const auto result = DescriptionLine::applyListLine(QString::fromUtf8(line), 7);
        EXPECT_EQ(std::tuple(result.checkSum, result.imageFile), std::tuple(checkSum, imageFile))
            << line;
    }
}

TEST(DescriptionFile, OnlyTheFirstNonCommentCrLfLineCountsAndItsLastChecksumWins) {
    const std::tuple<const char*, std::optional<qint64>, std::optional<qint64>> rows[] = {
        {"// notes\r\nV1.0.2,0x2A,fw.hex", {}, 42},
        {"\r\n//a\r\n//b\r\nV1,0x1\r\nV2,0x2\r\n", {}, 1},
        {"V1,0x1,fw.hex,0x2", {}, 2},
        {"V1,0x1,0xZZ", 5, {}},       // an unreadable last field still wins
        {" //x,0x5\r\nV1,0x1", 7, 5}, // a comment starts in the first column
        {"V1,0x1\nV2,0x2", {}, 2},    // LF only: one line, "0x1\nV2" is no number
        {"V1,0x1\rV2,0x2\r\n", {}, 2} // nor does a CR alone end a line
    };
    for (const auto& [text, current, expected] : rows)
        EXPECT_EQ(DescriptionFile::applyChecksumFile(QString::fromUtf8(text), current), expected)
            << text;
    // No checksum field keeps the old value; with LF only, the whole file is one comment.
    for (const char* text :
         {"V1,fw.hex\r\nV2,0x2\r\n", "// only notes\r\n", "", "// notes\nV1,0x2A\n"})
        EXPECT_EQ(DescriptionFile::applyChecksumFile(QString::fromUtf8(text), 7), 7) << text;
}
