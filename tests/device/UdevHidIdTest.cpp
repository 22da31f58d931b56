#include "device/UdevHidId.h"

#include <gtest/gtest.h>

TEST(UdevHidIdTest, ReadsThreeHexFieldsOfEitherCaseAndRefusesAnythingElse) {
    const std::optional<UdevHidId> id = UdevHidId::parse("0003:0000aAfF:000009c9");
    ASSERT_TRUE(id);
    EXPECT_EQ(std::tuple(id->bus, id->vendorId, id->productId),
              std::tuple(3u, int64_t{0xAAFF}, int64_t{0x09C9}));
    for (const char* text : {"", "0003:00001209", "0003:00001209:", "0003:00001209:00000002:",
                             "0003:0000120G:00000002", "0003:100001209:00000002",
                             "0003:00001209:0000 002", "0003:-0001209:00000002"})
        EXPECT_FALSE(UdevHidId::parse(text)) << text;
}
