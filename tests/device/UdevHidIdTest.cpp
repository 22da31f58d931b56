#include "device/UdevHidId.h"

#include <gtest/gtest.h>

namespace {
TEST(UdevHidIdTest, ReadsBusVendorAndProductInHexOfEitherCase) {
    const std::optional<UdevHidId> id = UdevHidId::parse("0003:00001209:00000002");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->bus, 3u);
    EXPECT_EQ(id->vendorId, 0x1209);
    EXPECT_EQ(id->productId, 0x0002);
    const std::optional<UdevHidId> mixed = UdevHidId::parse("0005:0000054C:000009cc");
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->vendorId, 0x054C);
    EXPECT_EQ(mixed->productId, 0x09CC);
}

TEST(UdevHidIdTest, RefusesMissingExtraOrNonHexFields) {
    for (const char* text : {"", "0003:00001209", "0003:00001209:", "0003:00001209:00000002:",
                             "0003:0000120G:00000002", "0003:100001209:00000002",
                             "0003:00001209:0000 002", "0003:-0001209:00000002"})
        EXPECT_FALSE(UdevHidId::parse(text)) << text;
}
} // namespace
