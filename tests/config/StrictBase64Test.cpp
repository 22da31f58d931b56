#include <gtest/gtest.h>

#include "config/StrictBase64.h"

TEST(StrictBase64, DecodesOnlyAnUnbrokenPaddedRun) {
    EXPECT_EQ(StrictBase64::decode("PENvbmZpZy8+"), QByteArray("<Config/>"));
    EXPECT_EQ(StrictBase64::decode("QUI="), QByteArray("AB"));
    EXPECT_EQ(StrictBase64::decode("QQ=="), QByteArray("A"));

    for (const char* text :
         {"PENvbmZpZy8+\n", "PENvbmZpZy8+\r\n", "PENv\nbmZpZy8+", "PENvbmZp Zy8+", "PENv\tbmZpZy8",
          "QUI", "QQ", "QQ=A", "QQ==QQ==", "Q===", "PENvbmZpZy8-", "PENvbmZpZy8_", " QUI="})
        EXPECT_EQ(StrictBase64::decode(text), std::nullopt) << text;
}
