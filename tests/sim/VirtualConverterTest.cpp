#include "sim/VirtualConverter.h"

#include <gtest/gtest.h>

namespace {

QByteArray request(uint8_t command, int packNo) {
    QByteArray bytes(64, '\0');
    bytes[0] = static_cast<char>(command);
    bytes[4] = static_cast<char>(packNo & 0xFF);
    bytes[5] = static_cast<char>((packNo >> 8) & 0xFF);
    return bytes;
}

// Cut as the updater does, with an 0xEE tail that shows a device reading past the length.
std::vector<QByteArray> dataPackets(const QByteArray& image, int firstPackNo = 2) {
    std::vector<QByteArray> packets;
    for (qsizetype offset = 0; offset < image.size() || packets.empty();) {
        const bool first = packets.empty();
        QByteArray packet = request(first ? 0xA0 : 0x00, firstPackNo + 2 * int(packets.size()));
        const int start = first ? 16 : 8;
        const QByteArray chunk = image.mid(offset, 64 - start);
        packet.replace(start, 64 - start, chunk + QByteArray(64 - start - chunk.size(), '\xEE'));
        if (first) {
            for (int i = 0; i < 3; ++i)
                packet[12 + i] = static_cast<char>((image.size() >> (8 * i)) & 0xFF);
        }
        offset += chunk.size();
        packets.push_back(packet);
    }
    return packets;
}

int word(const QByteArray& reply, int offset) {
    return uint8_t(reply[offset]) | (uint8_t(reply[offset + 1]) << 8);
}

int replyPackNo(const QByteArray& reply) {
    return word(reply, 4) | (uint8_t(reply[6]) << 16);
}

QByteArray imageOf(int length) {
    QByteArray image;
    for (int i = 0; i < length; ++i)
        image.append(static_cast<char>(0x80 + i * 7));
    return image;
}

} // namespace

// The part number in the second field (erased flash in the first) and the silent end.
TEST(VirtualConverterTest, IdentificationCanCarryThePartNumberInTheSecondFieldAndTheEndIsSilent) {
    VirtualConverter converter({"QK100201", 0xFFFFFFFE, true});
    const auto info = converter.handleOutputReport(request(0xA6, 2));
    ASSERT_TRUE(info && info->size() == 64);
    EXPECT_EQ(replyPackNo(*info), 3);
    EXPECT_EQ(info->mid(9, 8), QByteArray(8, '\xFF'));
    EXPECT_EQ(info->mid(24, 8), "QK100201");
    EXPECT_EQ(info->mid(44, 4), QByteArray("\xFE\xFF\xFF\xFF", 4));
    EXPECT_FALSE(converter.handleOutputReport(request(0xAB, 8)));
    EXPECT_EQ(converter.endUpgradePackNo(), 8);
}

// Each fault strikes only at its own packet, so the transfer tests fail for the reason they name.
TEST(VirtualConverterTest, InjectedFaultsStrikeOnlyAtTheirPacketNumber) {
    VirtualConverter converter;
    const std::vector<QByteArray> packets = dataPackets(imageOf(300)); // packNo 2, 4, ... 12
    VirtualConverter::Faults faults;
    faults.wrongPackNoAtPackNo = 4;
    faults.wrongChecksumAtPackNo = 6;
    faults.noReplyFromPackNo = 10;
    converter.setFaults(faults);
    std::vector<std::optional<QByteArray>> replies;
    for (const QByteArray& packet : packets)
        replies.push_back(converter.handleOutputReport(packet));
    ASSERT_TRUE(replies[0] && replies[1] && replies[2] && replies[3]);
    EXPECT_EQ(replyPackNo(*replies[1]), 4);
    EXPECT_EQ(word(*replies[1], 0), VirtualConverter::checksum16(packets[1]));
    EXPECT_EQ(replyPackNo(*replies[2]), 7);
    EXPECT_EQ(word(*replies[2], 0), VirtualConverter::checksum16(packets[2]) + 1);
    EXPECT_EQ(word(*replies[3], 0), VirtualConverter::checksum16(packets[3]));
    EXPECT_FALSE(replies[4] || replies[5]);
    EXPECT_EQ(converter.receivedImage(), imageOf(300)); // silenced packets are still taken in
}
