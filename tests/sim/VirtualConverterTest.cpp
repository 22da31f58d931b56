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

// Cuts an image as the updater does, but fills the unused tail of each packet with 0xEE so that a
// device reading past the announced length shows up in the checksums and the assembled image.
std::vector<QByteArray> dataPackets(const QByteArray& image, int firstPackNo) {
    std::vector<QByteArray> packets;
    int packNo = firstPackNo;
    for (qsizetype offset = 0; offset < image.size() || packets.empty(); packNo += 2) {
        const bool first = packets.empty();
        QByteArray packet = request(first ? 0xA0 : 0x00, packNo);
        const int start = first ? 16 : 8;
        const QByteArray chunk = image.mid(offset, 64 - start);
        packet.replace(start, chunk.size(), chunk);
        packet.replace(start + chunk.size(), 64 - start - chunk.size(),
                       QByteArray(64 - start - chunk.size(), '\xEE'));
        if (first) {
            packet[12] = static_cast<char>(image.size() & 0xFF);
            packet[13] = static_cast<char>((image.size() >> 8) & 0xFF);
            packet[14] = static_cast<char>((image.size() >> 16) & 0xFF);
        }
        offset += chunk.size();
        packets.push_back(packet);
    }
    return packets;
}

int replyPackNo(const QByteArray& reply) {
    return uint8_t(reply[4]) | (uint8_t(reply[5]) << 8) | (uint8_t(reply[6]) << 16);
}

int word(const QByteArray& reply, int offset) {
    return uint8_t(reply[offset]) | (uint8_t(reply[offset + 1]) << 8);
}

QByteArray imageOf(int length) {
    QByteArray image;
    for (int i = 0; i < length; ++i) {
        image.append(static_cast<char>(0x80 + i * 7));
    }
    return image;
}

} // namespace

TEST(VirtualConverterTest, checksum16WrapsAtSixteenBits) {
    EXPECT_EQ(VirtualConverter::checksum16(QByteArray(300, '\xFF')), (300 * 255) % 65536);
    EXPECT_EQ(VirtualConverter::checksum16(QByteArray()), 0);
}

TEST(VirtualConverterTest, identificationRepliesCarryTheNextPacketNumberAndTheIdentity) {
    VirtualConverter converter({"QK100301", 0x01020304, false});
    const auto sync = converter.handleOutputReport(request(0xA4, 0));
    ASSERT_TRUE(sync);
    EXPECT_EQ(sync->size(), 64);
    EXPECT_EQ(replyPackNo(*sync), 1);

    const auto info = converter.handleOutputReport(request(0xA6, 2));
    ASSERT_TRUE(info);
    EXPECT_EQ(replyPackNo(*info), 3);
    EXPECT_EQ(info->mid(9, 8), "QK100301");
    EXPECT_EQ(info->mid(44, 4), QByteArray("\x04\x03\x02\x01", 4));

    converter.setIdentity({"QK100201", 0xFFFFFFFE, true});
    const auto second = converter.handleOutputReport(request(0xA6, 2));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->mid(9, 8), QByteArray(8, '\xFF'));
    EXPECT_EQ(second->mid(24, 8), "QK100201");
    EXPECT_EQ(second->mid(44, 4), QByteArray("\xFE\xFF\xFF\xFF", 4));
}

// 105 bytes: a first packet of 48, a full continuation of 56 and a last packet holding 1 byte.
TEST(VirtualConverterTest, transferWithOneByteLastPacketAssemblesTheImageAndReportsItsChecksum) {
    VirtualConverter converter;
    const QByteArray image = imageOf(105);
    ASSERT_TRUE(converter.handleOutputReport(request(0xA4, 0)));
    const std::vector<QByteArray> packets = dataPackets(image, 2);
    ASSERT_EQ(packets.size(), 3u);

    for (size_t i = 0; i < packets.size(); ++i) {
        const auto reply = converter.handleOutputReport(packets[i]);
        ASSERT_TRUE(reply) << "packet " << i;
        EXPECT_EQ(replyPackNo(*reply), 3 + 2 * int(i));
        EXPECT_EQ(word(*reply, 0), VirtualConverter::checksum16(packets[i]));
        const bool last = i + 1 == packets.size();
        EXPECT_EQ(word(*reply, 8), last ? VirtualConverter::checksum16(image) : 0) << i;
    }
    EXPECT_EQ(converter.receivedImage(), image);
    EXPECT_TRUE(converter.imageComplete());
    EXPECT_EQ(converter.announcedLength(), 105u);

    EXPECT_FALSE(converter.handleOutputReport(request(0xAB, 8)));
    EXPECT_EQ(converter.endUpgradePackNo(), 8);
    EXPECT_EQ(converter.commandSequence(), (std::vector<uint8_t>{0xA4, 0xA0, 0x00, 0x00, 0xAB}));
    EXPECT_EQ(converter.requests()[3].packNo, 6);
}

TEST(VirtualConverterTest, shortImageIsCompleteWithTheFirstPacketAndANewTransferStartsAfresh) {
    VirtualConverter converter;
    const QByteArray longImage = imageOf(200);
    for (const QByteArray& packet : dataPackets(longImage, 2)) {
        converter.handleOutputReport(packet);
    }
    const QByteArray shortImage = imageOf(20);
    const auto reply = converter.handleOutputReport(dataPackets(shortImage, 2).front());
    ASSERT_TRUE(reply);
    EXPECT_EQ(word(*reply, 8), VirtualConverter::checksum16(shortImage));
    EXPECT_EQ(converter.receivedImage(), shortImage);

    // A stray continuation after the image is complete adds nothing.
    converter.handleOutputReport(request(0x00, 4));
    EXPECT_EQ(converter.receivedImage(), shortImage);
}

TEST(VirtualConverterTest, faultsStrikeOnlyAtTheirPacketNumber) {
    VirtualConverter converter;
    const std::vector<QByteArray> packets = dataPackets(imageOf(300), 2); // packNo 2, 4, ... 12
    VirtualConverter::Faults faults;
    faults.wrongPackNoAtPackNo = 4;
    faults.wrongChecksumAtPackNo = 6;
    faults.noReplyFromPackNo = 10;
    faults.wrongFinalChecksum = true;
    converter.setFaults(faults);

    const auto atTwo = converter.handleOutputReport(packets[0]);
    const auto atFour = converter.handleOutputReport(packets[1]);
    const auto atSix = converter.handleOutputReport(packets[2]);
    const auto atEight = converter.handleOutputReport(packets[3]);
    ASSERT_TRUE(atTwo && atFour && atSix && atEight);
    EXPECT_EQ(replyPackNo(*atTwo), 3);
    EXPECT_EQ(replyPackNo(*atFour), 4);
    EXPECT_EQ(word(*atFour, 0), VirtualConverter::checksum16(packets[1]));
    EXPECT_EQ(word(*atSix, 0), (VirtualConverter::checksum16(packets[2]) + 1) % 65536);
    EXPECT_EQ(replyPackNo(*atSix), 7);
    EXPECT_EQ(word(*atEight, 0), VirtualConverter::checksum16(packets[3]));
    EXPECT_FALSE(converter.handleOutputReport(packets[4]));
    EXPECT_FALSE(converter.handleOutputReport(packets[5]));
    // The silenced packets were still taken in.
    EXPECT_EQ(converter.receivedImage(), imageOf(300));

    faults = {};
    faults.wrongFinalChecksum = true;
    converter.setFaults(faults);
    const auto last = converter.handleOutputReport(dataPackets(imageOf(10), 2).front());
    ASSERT_TRUE(last);
    EXPECT_EQ(word(*last, 8), VirtualConverter::checksum16(imageOf(10)) + 1);
}

TEST(VirtualConverterTest, silencesThatKeepTheDeviceFromAnswering) {
    VirtualConverter converter;
    VirtualConverter::Faults faults;
    faults.ignoreGetFWInfo = true;
    converter.setFaults(faults);
    EXPECT_TRUE(converter.handleOutputReport(request(0xA4, 0)));
    EXPECT_FALSE(converter.handleOutputReport(request(0xA6, 2)));

    faults.neverReply = true;
    converter.setFaults(faults);
    EXPECT_FALSE(converter.handleOutputReport(request(0xA4, 0)));

    converter.setFaults({});
    EXPECT_FALSE(converter.handleOutputReport(QByteArray(65, '\0'))) << "report id byte included";
    EXPECT_FALSE(converter.handleOutputReport(request(0x42, 0))) << "unknown command";
    EXPECT_EQ(converter.requests().size(), 5u);

    converter.clearHistory();
    EXPECT_TRUE(converter.requests().empty());
    EXPECT_FALSE(converter.announcedLength());
}
