#include <gtest/gtest.h>

#include "config/StrictBase64.h"

TEST(StrictBase64, RejectsLineBreaksSpacesAndMissingPadding) {
    EXPECT_EQ(StrictBase64::decode("PENvbmZpZy8+"), QByteArray("<Config/>"));
    EXPECT_EQ(StrictBase64::decode("QQ=="), QByteArray("A"));
    for (const char* text : {"PENvbmZpZy8+\n", "PENv\nbmZpZy8+", "PENvbmZp Zy8+", "QUI", "QQ",
                             "QQ=A", "Q===", "PENvbmZpZy8-"})
        EXPECT_EQ(StrictBase64::decode(text), std::nullopt) << text;
}
