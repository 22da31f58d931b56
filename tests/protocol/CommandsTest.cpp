#include "protocol/Commands.h"
#include "sim/SimulatedHidService.h"
#include "support/ScopedDiagnosticCapture.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {
using std::chrono::milliseconds;

QByteArray zeros(int size) {
    return QByteArray(size, '\0');
}

uint8_t at(const QByteArray& bytes, int index) {
    return static_cast<uint8_t>(bytes[index]);
}

class CommandsTest : public ::testing::Test {
protected:
    CommandsTest() {
        converter = std::make_shared<VirtualConverter>(
            VirtualConverter::Identity{"QK100301", 0x04030201, false});
        device = service.plugIn(converter);
    }

    QByteArray lastWritten() const {
        const std::vector<QByteArray> written = service.writtenReports(device);
        return written.empty() ? QByteArray() : written.back();
    }

    SimulatedHidService service;
    std::shared_ptr<VirtualConverter> converter;
    HidDeviceRef device;
    USBHidManager manager{service, {}, {}, {milliseconds{200}, milliseconds{50}}};
};

TEST_F(CommandsTest, SyncPackNoWritesTheCounterTwiceExpectsItPlusOneAndClosesTheDevice) {
    ScopedDiagnosticCapture log;
    int64_t packNo = 0;
    EXPECT_TRUE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_EQ(packNo, 2);
    QByteArray expected = zeros(64);
    expected[0] = static_cast<char>(0xA4);
    EXPECT_EQ(lastWritten(), expected);
    EXPECT_FALSE(service.isOpen(device));
    EXPECT_EQ(log.lines().first(), "[Commands][14][syncPackNo(_:_:_:)]");
    EXPECT_EQ(log.lines().last(), "[UsbHidManager][97][closeUsbDevice(_:)] true");

    packNo = 7;
    EXPECT_TRUE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_EQ(at(lastWritten(), 4), 7);
    EXPECT_EQ(at(lastWritten(), 8), 7);
    EXPECT_EQ(packNo, 9);
}

TEST_F(CommandsTest, SyncPackNoFailsQuietlyAndStillCloses) {
    VirtualConverter::Faults silent;
    silent.neverReply = true;
    converter->setFaults(silent);
    int64_t packNo = 0;
    EXPECT_FALSE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_EQ(packNo, 1);
    EXPECT_FALSE(service.isOpen(device));

    // A counter the one-byte field cannot carry is refused, not cut to another number.
    packNo = 256;
    EXPECT_FALSE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_EQ(packNo, 256);
    EXPECT_EQ(service.writtenReports(device).size(), 1u);

    EXPECT_FALSE(Commands::syncPackNo(manager, nullptr, packNo));
}

TEST_F(CommandsTest, AFailedOpenEndsEveryCommandBeforeAnythingIsSent) {
    SimulatedDeviceFaults refusing;
    refusing.openError = -EACCES;
    service.setDeviceFaults(device, refusing);
    ScopedDiagnosticCapture log;
    int64_t packNo = 0;
    EXPECT_FALSE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_FALSE(Commands::getFWInfo(manager, device, packNo));
    Commands::endUpgradeFW(manager, device, packNo);
    EXPECT_EQ(packNo, 0);
    EXPECT_TRUE(service.writtenReports(device).empty());
    EXPECT_EQ(log.lines(), (QStringList{"[Commands][14][syncPackNo(_:_:_:)]",
                                        "[Commands][33][getFWInfo(_:_:_:)]",
                                        "[Commands][52][endUpgradeFW(_:_:_:)]"}));
}

TEST_F(CommandsTest, GetFWInfoAsksWithQKAndReturnsTheReplyLeavingTheDeviceOpen) {
    int64_t packNo = 2;
    const std::optional<QByteArray> reply = Commands::getFWInfo(manager, device, packNo);
    ASSERT_TRUE(reply);
    EXPECT_EQ(packNo, 4);
    QByteArray expected = zeros(64);
    expected[0] = static_cast<char>(0xA6);
    expected[4] = 2;
    expected[8] = 'Q';
    expected[9] = 'K';
    EXPECT_EQ(lastWritten(), expected);
    EXPECT_TRUE(service.isOpen(device));
    EXPECT_EQ(Commands::getPartNumber(*reply), "QK100301");
    EXPECT_EQ(Commands::getFWVersion(*reply), "V4.3.2.1");

    EXPECT_FALSE(Commands::getFWInfo(manager, nullptr, packNo));
    EXPECT_EQ(packNo, 4);
}

TEST_F(CommandsTest, EndUpgradeFWSendsTheLowSixteenBitsOfTheCounterWithoutWaiting) {
    ScopedDiagnosticCapture log;
    int64_t packNo = 258;
    Commands::endUpgradeFW(manager, device, packNo);
    EXPECT_EQ(packNo, 258);
    QByteArray expected = zeros(64);
    expected[0] = static_cast<char>(0xAB);
    expected[4] = 0x02;
    expected[5] = 0x01;
    EXPECT_EQ(lastWritten(), expected);
    EXPECT_EQ(log.lines(), (QStringList{"[Commands][52][endUpgradeFW(_:_:_:)]",
                                        "[endUpgradeFW(_:_:_:)] Result: true"}));

    // The counter the largest image leaves behind still ends the upgrade, wrapped to 16 bits.
    packNo = 65536;
    Commands::endUpgradeFW(manager, device, packNo);
    expected[4] = 0x00;
    expected[5] = 0x00;
    EXPECT_EQ(lastWritten(), expected);
    EXPECT_EQ(packNo, 65536);

    SimulatedDeviceFaults failing;
    failing.writeError = -EIO;
    service.setDeviceFaults(device, failing);
    log.clear();
    Commands::endUpgradeFW(manager, device, packNo);
    EXPECT_EQ(log.lines().last(), "[endUpgradeFW(_:_:_:)] Result: false");

    log.clear();
    Commands::endUpgradeFW(manager, nullptr, packNo);
    EXPECT_EQ(log.lines(), QStringList{"[Commands][52][endUpgradeFW(_:_:_:)]"});
}

TEST(CommandsDataPacketTest, FirstPacketCarriesCounterLengthAndFortyEightBytes) {
    QByteArray image(100, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i + 1);
    const std::optional<QByteArray> packet = Commands::firstDataPacket(0x0102, image);
    ASSERT_TRUE(packet);
    QByteArray expected = zeros(64);
    expected[0] = static_cast<char>(0xA0);
    expected[4] = 0x02;
    expected[5] = 0x01;
    expected[12] = 100;
    expected.replace(16, 48, image.first(48));
    EXPECT_EQ(*packet, expected);

    // A shorter image is padded; the length field says how much of it is real.
    const std::optional<QByteArray> small = Commands::firstDataPacket(2, image.first(5));
    ASSERT_TRUE(small);
    EXPECT_EQ(at(*small, 12), 5);
    EXPECT_EQ(small->mid(16), image.first(5) + zeros(43));

    // Only the low 24 bits of the length fit.
    const QByteArray huge(0x1234567, 'x');
    const std::optional<QByteArray> big = Commands::firstDataPacket(2, huge);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->mid(12, 4), QByteArray("\x67\x45\x23\x00", 4));

    EXPECT_FALSE(Commands::firstDataPacket(65536, image));
    EXPECT_FALSE(Commands::firstDataPacket(-1, image));
}

TEST(CommandsDataPacketTest, ContinuationPacketCarriesCounterAndUpToFiftySixBytes) {
    const QByteArray chunk(56, 'z');
    const std::optional<QByteArray> full = Commands::continuationDataPacket(65535, chunk);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->size(), 64);
    EXPECT_EQ(full->first(8), QByteArray("\x00\x00\x00\x00\xFF\xFF\x00\x00", 8));
    EXPECT_EQ(full->mid(8), chunk);

    const std::optional<QByteArray> last = Commands::continuationDataPacket(4, QByteArray("a"));
    ASSERT_TRUE(last);
    EXPECT_EQ(*last, QByteArray("\x00\x00\x00\x00\x04\x00\x00\x00"
                                "a",
                                9) +
                         zeros(55));

    EXPECT_FALSE(Commands::continuationDataPacket(4, QByteArray(57, 'z')));
    EXPECT_FALSE(Commands::continuationDataPacket(65536, chunk));
}

TEST(CommandsChecksumTest, ComparesTheSumOfTheSentBytesWithReplyBytesZeroAndOne) {
    QByteArray request = zeros(64);
    request[0] = static_cast<char>(0xA0);
    request[1] = static_cast<char>(0x8C); // 160 + 140 = 300 = 0x12C
    QByteArray reply = zeros(64);
    reply[0] = 0x2C;
    reply[1] = 0x01;
    ScopedDiagnosticCapture log;
    EXPECT_TRUE(Commands::checkPackChecksum(reply, request));
    EXPECT_EQ(log.lines(), QStringList{"Write Checksum: 0x 12C, Read Checksum: 0x 12C"});

    reply[1] = 0x00;
    EXPECT_FALSE(Commands::checkPackChecksum(reply, request));
    EXPECT_FALSE(Commands::checkPackChecksum(reply.first(1), request));

    // The sum does not wrap: 64 bytes of 0xFF add up to 16320.
    const QByteArray full(64, static_cast<char>(0xFF));
    EXPECT_TRUE(Commands::checkPackChecksum(QByteArray("\xC0\x3F", 2), full));
}

QByteArray replyWithFields(QByteArrayView first, QByteArrayView second) {
    QByteArray reply = zeros(64);
    reply.replace(9, first.size(), first.toByteArray());
    reply.replace(24, second.size(), second.toByteArray());
    return reply;
}

TEST(CommandsPartNumberTest, AcceptsACandidateStartingWithQKAndKeepsItAsSent) {
    EXPECT_EQ(Commands::getPartNumber(replyWithFields(" QK1234 ", "")), " QK1234 ");
    EXPECT_EQ(Commands::getPartNumber(replyWithFields("\tqk1003\n", "")), "\tqk1003\n");
    EXPECT_EQ(Commands::getPartNumber(replyWithFields("QK100201", "QK100301")), "QK100201");
    // A failing first candidate leaves it to the second.
    EXPECT_EQ(
        Commands::getPartNumber(replyWithFields("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", "QK100301")),
        "QK100301");
    EXPECT_EQ(Commands::getPartNumber(replyWithFields("XK100201", "qK100301")), "qK100301");
}

TEST(CommandsPartNumberTest, GivesNothingForNonAsciiOtherNamesOrShortReplies) {
    EXPECT_FALSE(Commands::getPartNumber(replyWithFields("QK10020\x80", "QK1003\xC3\xA9")));
    EXPECT_FALSE(Commands::getPartNumber(replyWithFields("Q K10020", "KQ100301")));
    EXPECT_FALSE(Commands::getPartNumber(zeros(64)));
    EXPECT_FALSE(Commands::getPartNumber(replyWithFields("QK100201", "").first(16)));
    EXPECT_EQ(Commands::getPartNumber(replyWithFields("QK100201", "").first(17)), "QK100201");
    // The second candidate needs all 32 bytes.
    EXPECT_FALSE(Commands::getPartNumber(replyWithFields("", "QK100301").first(31)));
    EXPECT_EQ(Commands::getPartNumber(replyWithFields("", "QK100301").first(32)), "QK100301");
}

QByteArray replyWithVersion(uint8_t b47, uint8_t b46, uint8_t b45, uint8_t b44) {
    QByteArray reply = zeros(64);
    reply[44] = static_cast<char>(b44);
    reply[45] = static_cast<char>(b45);
    reply[46] = static_cast<char>(b46);
    reply[47] = static_cast<char>(b47);
    return reply;
}

TEST(CommandsFWVersionTest, ReadsByteFortySevenFirstAndRejectsErasedValues) {
    EXPECT_EQ(Commands::getFWVersion(replyWithVersion(0, 0, 0, 1)), "V0.0.0.1");
    EXPECT_EQ(Commands::getFWVersion(replyWithVersion(1, 2, 3, 4)), "V1.2.3.4");
    EXPECT_EQ(Commands::getFWVersion(replyWithVersion(0xFF, 0xFF, 0xFF, 0xFE)), "V255.255.255.254");
    EXPECT_FALSE(Commands::getFWVersion(replyWithVersion(0, 0, 0, 0)));
    EXPECT_FALSE(Commands::getFWVersion(replyWithVersion(0xFF, 0xFF, 0xFF, 0xFF)));
    EXPECT_FALSE(Commands::getFWVersion(replyWithVersion(1, 2, 3, 4).first(47)));
    EXPECT_EQ(Commands::getFWVersion(replyWithVersion(1, 2, 3, 4).first(48)), "V1.2.3.4");
}
} // namespace
