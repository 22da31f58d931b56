#include "protocol/FirmwareTransfer.h"
#include "sim/SimulatedHidService.h"
#include "support/HexText.h"
#include "support/TestImages.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {
class FirmwareTransferTest : public ::testing::Test {
protected:
    bool transfer(const QByteArray& image, std::optional<int64_t> checkSum) {
        return FirmwareTransfer(feedback()).upgradeFW(&manager, device, packNo, checkSum, image);
    }

    FirmwareTransfer::Feedback feedback() {
        return {[this](const QString& name) { pictures.append(name); },
                [this](const QString&, const QString& informative, const QString&) {
                    alerts.append(informative);
                }};
    }

    SimulatedHidService service;
    std::shared_ptr<VirtualConverter> converter = std::make_shared<VirtualConverter>();
    HidDeviceRef device = service.plugIn(converter);
    USBHidManager manager{
        service, {}, {}, {std::chrono::milliseconds{300}, std::chrono::milliseconds{50}}};
    int64_t packNo = 40; // whatever the identification left behind
    QStringList pictures;
    QStringList alerts;
};

TEST_F(FirmwareTransferTest, ImagesAreCutIntoFortyEightAndThenFiftySixBytes) {
    // Image length, data packets; 5 is padded and the length field says how much is real.
    for (const auto& [length, packets] :
         std::initializer_list<std::pair<int, size_t>>{{5, 1}, {48, 1}, {104, 2}, {105, 3}}) {
        SCOPED_TRACE(length);
        converter->clearHistory();
        const QByteArray image = patternedImage(length);
        EXPECT_TRUE(transfer(image, VirtualConverter::checksum16(image)));
        std::vector<uint8_t> commands{0xA4, 0xA0}; // synchronisation, first packet, then 0x00s
        commands.resize(packets + 1);
        EXPECT_EQ(converter->commandSequence(), commands);
        EXPECT_EQ(converter->receivedImage(), image);
        EXPECT_EQ(converter->announcedLength(), length);
        // Synchronisation 0 and 1, then two numbers per data packet: 2, 4, 6, ...
        EXPECT_EQ(packNo, 2 * static_cast<int64_t>(packets + 1));
        EXPECT_TRUE(service.isOpen(device)); // for the end-of-upgrade command
    }
    EXPECT_TRUE(alerts.empty());
}

TEST_F(FirmwareTransferTest, ProgressFollowsTheBytesAndTheFinalChecksumMustMatchTheRelease) {
    const QByteArray image = patternedImage(1000); // 18 data packets
    const uint16_t sum = VirtualConverter::checksum16(image);
    EXPECT_FALSE(FirmwareTransfer(feedback()).upgradeFW(nullptr, device, packNo, sum, image));
    EXPECT_TRUE(converter->requests().empty());
    EXPECT_FALSE(transfer(image, std::nullopt));
    EXPECT_TRUE(converter->imageComplete()); // every packet was confirmed, still no success
    // 10 never shows (one packet moves 9.92 to 11.04 twentieths); 20 waits for a good checksum.
    EXPECT_EQ(pictures, (QStringList{"2", "3", "4", "5", "6", "7", "8", "9", "11", "12", "13", "14",
                                     "15", "16", "17", "18"}));
    EXPECT_FALSE(transfer(image, 0x10000 + sum)); // outside 16 bits: never a match
    converter->setFaults({.wrongFinalChecksum = true});
    EXPECT_FALSE(transfer(image, sum));
    ASSERT_EQ(alerts.size(), 3);
    EXPECT_EQ(alerts.back(),
              "Final Checksum: " + HexText::blankFilled(sum + 1) + "\nFinal Checksum is wrong.");

    // Nine bytes with the right packet number; byte 8 alone carries the image's sum, 48.
    converter->setFaults({});
    service.setDeviceFaults(device, {.replyLength = 9});
    EXPECT_FALSE(transfer(QByteArray(48, '\x01'), 48));
    EXPECT_EQ(alerts.back(), "Final Checksum: none\nFinal Checksum is wrong.");
}

// Failures at packet n of m, as the front ends get them; the window's tests show the other kinds.
TEST_F(FirmwareTransferTest, EachFailureSaysWhatHappenedAndWhere) {
    using Kind = FirmwareTransfer::Failure::Kind;
    using Failure = FirmwareTransfer::Failure;
    const QByteArray image = patternedImage(1000); // 18 data packets, packet n numbered 2n
    const int64_t sum = VirtualConverter::checksum16(image);
    const std::tuple<VirtualConverter::Faults, SimulatedDeviceFaults, Failure> rows[] = {
        {{.noReplyFromPackNo = 0}, {}, {Kind::NoReply, 0, 18}},
        {{.wrongPackNoAtPackNo = 8}, {}, {Kind::WrongPacketNumber, 4, 18}},
        {{}, {.writeError = -EIO, .writesBeforeWriteError = 2}, {Kind::WriteFailed, 2, 18}},
    };
    for (const auto& [faults, link, failure] : rows) {
        converter = std::make_shared<VirtualConverter>();
        converter->setFaults(faults);
        device = service.plugIn(converter);
        service.setDeviceFaults(device, link);
        FirmwareTransfer transfer(feedback());
        EXPECT_FALSE(transfer.upgradeFW(&manager, device, packNo, sum, image));
        EXPECT_EQ(transfer.failure(), failure) << static_cast<int>(failure.kind);
    }
}

} // namespace
