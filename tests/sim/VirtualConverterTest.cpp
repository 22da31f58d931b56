#include "sim/VirtualConverter.h"

#include <gtest/gtest.h>

namespace {
QByteArray request(uint8_t command, int packNo) {
    QByteArray bytes(64, '\0');
    bytes[0] = static_cast<char>(command);
    bytes[4] = static_cast<char>(packNo);
    return bytes;
}

int word(const QByteArray& reply, int offset) {
    return uint8_t(reply[offset]) | (uint8_t(reply[offset + 1]) << 8);
}

// Each fault strikes only at its own packet, so the transfer tests fail for the reason they name.
TEST(VirtualConverterTest, InjectedFaultsStrikeOnlyAtTheirPacketNumber) {
    VirtualConverter converter;
    VirtualConverter::Faults faults;
    faults.wrongPackNoAtPackNo = 4;
    faults.wrongChecksumAtPackNo = 6;
    faults.noReplyFromPackNo = 10;
    converter.setFaults(faults);
    for (int packNo : {2, 4, 6, 8}) { // continuation packets, acknowledged outside a transfer
        const QByteArray packet = request(0x00, packNo);
        const std::optional<QByteArray> reply = converter.handleOutputReport(packet);
        ASSERT_TRUE(reply) << packNo;
        EXPECT_EQ(word(*reply, 4), packNo + (packNo == 4 ? 0 : 1)) << packNo;
        EXPECT_EQ(word(*reply, 0), VirtualConverter::checksum16(packet) + (packNo == 6)) << packNo;
    }
    EXPECT_FALSE(converter.handleOutputReport(request(0x00, 10)));
    EXPECT_FALSE(converter.handleOutputReport(request(0x00, 12)));
}
} // namespace
