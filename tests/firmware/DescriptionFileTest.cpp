#include <gtest/gtest.h>

#include "firmware/DescriptionFile.h"

static std::optional<qint64> applyFile(const QString& text, std::optional<qint64> current) {
    return DescriptionFile::applyChecksumFile(text, current);
}

TEST(DescriptionFile, ReadsTheFirstLineThatIsNotAComment) {
    EXPECT_EQ(applyFile("// release notes\r\nV1.0.2,0x2A,fw.hex", std::nullopt), 42);
    EXPECT_EQ(applyFile("\r\n//a\r\n//b\r\nV1,0x1\r\nV2,0x2\r\n", std::nullopt), 1);
    // Within that line the last checksum field wins, an unreadable one included.
    EXPECT_EQ(applyFile("V1,0x1,fw.hex,0x2", std::nullopt), 2);
    EXPECT_EQ(applyFile("V1,0x1,0xZZ", 5), std::nullopt);
}

TEST(DescriptionFile, KeepsThePreviousChecksumWhenThereIsNothingToRead) {
    EXPECT_EQ(applyFile("V1,fw.hex\r\nV2,0x2\r\n", 7), 7);
    EXPECT_EQ(applyFile("// only notes\r\n", 7), 7);
    EXPECT_EQ(applyFile("", 7), 7);
}

TEST(DescriptionFile, LfOnlyTextIsOneLine) {
    // Starting with a comment, the whole file is that comment.
    EXPECT_EQ(applyFile("// notes\nV1,0x2A,fw.hex\n", 7), 7);
    // Otherwise every checksum field of the file is applied; "0x1\nV2" is one unreadable field.
    EXPECT_EQ(applyFile("V1,0x1\nV2,0x2\n", std::nullopt), std::nullopt);
    EXPECT_EQ(applyFile("V1,0x1\nV2,0x2", std::nullopt), 2);
}

TEST(DescriptionFile, ReleaseLinesAreTheNonCommentLinesInOrder) {
    EXPECT_EQ(
        DescriptionFile::releaseLines(u"// list\r\nV2,0x2,b.hex\r\n\r\nnotes\r\nV1,0x1,a.hex"),
        (QStringList{"V2,0x2,b.hex", "notes", "V1,0x1,a.hex"}));
    EXPECT_EQ(DescriptionFile::releaseLines(u"// list\nV1,0x1,a.hex\n"), QStringList());
}
