#include <gtest/gtest.h>

#include "firmware/DescriptionLine.h"

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
