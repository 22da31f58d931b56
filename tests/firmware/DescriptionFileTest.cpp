#include <gtest/gtest.h>

#include "firmware/DescriptionFile.h"

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
        {"// notes\nV1,0x2A,fw.hex\n", 7, 7}, // LF only: the whole file is one comment
        {"V1,0x1\nV2,0x2", std::nullopt, 2},  // LF only: one line, "0x1\nV2" is no number
    };
    for (const auto& row : rows)
        EXPECT_EQ(DescriptionFile::applyChecksumFile(QString::fromUtf8(row.text), row.current),
                  row.expected)
            << row.text;
}
