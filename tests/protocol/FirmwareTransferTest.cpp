#include "protocol/FirmwareTransfer.h"
#include "sim/SimulatedHidService.h"

#include <gtest/gtest.h>

namespace {
// Bytes that differ from packet to packet, so a slice taken from the wrong offset shows.
QByteArray patternedImage(qsizetype size) {
    QByteArray image(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return image;
}

class FirmwareTransferTest : public ::testing::Test {
protected:
    bool transfer(const QByteArray& image, std::optional<int64_t> checkSum) {
        return FirmwareTransfer(feedback()).upgradeFW(&manager, device, packNo, checkSum, image);
    }
    bool transfer(const QByteArray& image) {
        return transfer(image, VirtualConverter::checksum16(image));
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
    const std::pair<qsizetype, std::vector<uint8_t>> cases[] = {
        {5, {0xA4, 0xA0}}, // padded; the length field says how much is real
        {48, {0xA4, 0xA0}},
        {104, {0xA4, 0xA0, 0x00}},
        {105, {0xA4, 0xA0, 0x00, 0x00}},
    };
    for (const auto& [length, commands] : cases) {
        SCOPED_TRACE(length);
        converter->clearHistory();
        const QByteArray image = patternedImage(length);
        EXPECT_TRUE(transfer(image));
        EXPECT_EQ(converter->commandSequence(), commands);
        EXPECT_EQ(converter->receivedImage(), image);
        EXPECT_EQ(converter->announcedLength(), length);
        // Synchronisation 0 and 1, then two numbers per data packet: 2, 4, 6, ...
        const std::vector<VirtualConverter::ReceivedRequest> requests = converter->requests();
        for (size_t i = 0; i < requests.size(); ++i)
            EXPECT_EQ(requests[i].packNo, static_cast<int64_t>(2 * i)) << i;
        EXPECT_EQ(packNo, 2 * static_cast<int64_t>(requests.size()));
        EXPECT_TRUE(service.isOpen(device)); // for the end-of-upgrade command
    }
    EXPECT_TRUE(alerts.empty());
}

TEST_F(FirmwareTransferTest, ProgressPicturesFollowTheBytesSent) {
    ASSERT_TRUE(transfer(patternedImage(1000))); // 18 data packets
    // 10 is never shown: one packet moves the progress from 9.92 to 11.04 twentieths.
    EXPECT_EQ(pictures, (QStringList{"2", "3", "4", "5", "6", "7", "8", "9", "11", "12", "13", "14",
                                     "15", "16", "17", "18", "20"}));
}

TEST_F(FirmwareTransferTest, TheFinalChecksumMustBeThereAndEqualTheReleasesValue) {
    const QByteArray image = patternedImage(200);
    const uint16_t sum = VirtualConverter::checksum16(image);
    EXPECT_FALSE(FirmwareTransfer(feedback()).upgradeFW(nullptr, device, packNo, sum, image));
    EXPECT_TRUE(converter->requests().empty());
    EXPECT_FALSE(transfer(image, std::nullopt));
    EXPECT_TRUE(converter->imageComplete());      // every packet was confirmed, still no success
    EXPECT_FALSE(transfer(image, 0x10000 + sum)); // outside 16 bits: never a match
    VirtualConverter::Faults wrongSum;
    wrongSum.wrongFinalChecksum = true;
    converter->setFaults(wrongSum);
    EXPECT_FALSE(transfer(image, sum));
    ASSERT_EQ(alerts.size(), 3);
    EXPECT_EQ(alerts.back(),
              "Final Checksum: " + FirmwareTransfer::hex4(sum + 1) + "\nFinal Checksum is wrong.");

    // Nine bytes with the right packet number; byte 8 alone carries the image's sum, 48.
    converter->setFaults({});
    SimulatedDeviceFaults shortReplies;
    shortReplies.replyLength = 9;
    service.setDeviceFaults(device, shortReplies);
    EXPECT_FALSE(transfer(QByteArray(48, '\x01'), 48));
    EXPECT_EQ(alerts.back(), "Final Checksum: none\nFinal Checksum is wrong.");
}

} // namespace
