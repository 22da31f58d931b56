#include "device/UdevHidId.h"

#include <array>
#include <gtest/gtest.h>

namespace {
TEST(UdevHidIdTest, ReadsBusVendorAndProductInHexOfEitherCaseAndNothingElse) {
    const struct {
        const char* text;
        std::optional<std::array<int64_t, 3>> id; // bus, vendor, product
    } rows[] = {
        {"0003:00001209:00000002", {{3, 0x1209, 0x0002}}},
        {"0005:0000054C:000009cc", {{5, 0x054C, 0x09CC}}},
        {"", {}},
        {"0003:00001209", {}},
        {"0003:00001209:", {}},
        {"0003:00001209:00000002:", {}},
        {"0003:0000120G:00000002", {}},
        {"0003:100001209:00000002", {}},
        {"0003:00001209:0000 002", {}},
        {"0003:-0001209:00000002", {}},
    };
    for (const auto& row : rows) {
        const std::optional<UdevHidId> id = UdevHidId::parse(row.text);
        ASSERT_EQ(id.has_value(), row.id.has_value()) << row.text;
        if (id) {
            EXPECT_EQ((std::array<int64_t, 3>{id->bus, id->vendorId, id->productId}), *row.id);
        }
    }
}
} // namespace
