#include <gtest/gtest.h>

#include "firmware/DescriptionLine.h"

static DescriptionLine::ListLineResult applyLine(const QString& line,
                                                 std::optional<qint64> current) {
    return DescriptionLine::applyListLine(line, current);
}

TEST(DescriptionLine, ListLineGivesTheFirstChecksumAndImageAsWritten) {
    auto result = applyLine("V1.0.2,0x2A,fw.hex", 7);
    EXPECT_EQ(result.checkSum, 42);
    EXPECT_EQ(result.imageFile, QStringLiteral("fw.hex"));

    // The space stays in the name (the server will not find it) and makes the checksum unreadable.
    result = applyLine("V1.0.2, 0x2A, fw.hex", 7);
    EXPECT_EQ(result.checkSum, std::nullopt);
    EXPECT_EQ(result.imageFile, QStringLiteral(" fw.hex"));

    result = applyLine("fw.HEX,0x1,0x2,other.hex,V1", std::nullopt);
    EXPECT_EQ(result.checkSum, 1);
    EXPECT_EQ(result.imageFile, QStringLiteral("fw.HEX"));
}

TEST(DescriptionLine, ListLineWithoutChecksumKeepsItAndWithoutImageStillSetsIt) {
    auto result = applyLine("V1.0.2,0x2A", 7);
    EXPECT_EQ(result.checkSum, 42);
    EXPECT_FALSE(result.imageFile.has_value());

    for (const QString& line : {QStringLiteral("V1.0.2,fw.hex"), QString(), QStringLiteral(",,")}) {
        result = applyLine(line, 7);
        EXPECT_EQ(result.checkSum, 7) << line.toStdString();
        EXPECT_FALSE(result.imageFile.has_value()) << line.toStdString();
    }
}

TEST(DescriptionLine, FieldsCommentsAndVersions) {
    EXPECT_EQ(DescriptionLine::fields(u"a,,b, ,").size(), 3);
    EXPECT_TRUE(DescriptionLine::isComment(u"//V1,0x1"));
    EXPECT_FALSE(DescriptionLine::isComment(u" //V1"));
    EXPECT_FALSE(DescriptionLine::isComment(u"/"));
    EXPECT_EQ(DescriptionLine::firstVersionField(u"0x1, v2 ,V3"), QStringLiteral(" v2 "));
    EXPECT_FALSE(DescriptionLine::firstVersionField(u"0x1,fw.hex").has_value());
}
