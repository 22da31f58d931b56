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

// A 64-byte report of zeros with the given bytes set.
QByteArray report(std::initializer_list<std::pair<int, uint8_t>> bytes) {
    QByteArray result = zeros(64);
    for (const auto& [offset, value] : bytes)
        result[offset] = static_cast<char>(value);
    return result;
}

class CommandsTest : public ::testing::Test {
protected:
    CommandsTest() {
        converter = std::make_shared<VirtualConverter>(
            VirtualConverter::Identity{"QK100301", 0x04030201, false});
        device = service.plugIn(converter);
        log.clear();
    }

    QByteArray lastWritten() const {
        const std::vector<QByteArray> written = service.writtenReports(device);
        return written.empty() ? QByteArray() : written.back();
    }

    SimulatedHidService service;
    std::shared_ptr<VirtualConverter> converter;
    HidDeviceRef device;
    USBHidManager manager{service, {}, {}, {milliseconds{200}, milliseconds{50}}};
    ScopedDiagnosticCapture log;
};

TEST_F(CommandsTest, SyncPackNoWritesTheCounterTwiceExpectsItPlusOneAndClosesTheDevice) {
    int64_t packNo = 0;
    EXPECT_TRUE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_EQ(packNo, 2);
    EXPECT_EQ(lastWritten(), report({{0, 0xA4}}));
    EXPECT_FALSE(service.isOpen(device));
    EXPECT_EQ(log.lines().first(), "[Commands][14][syncPackNo(_:_:_:)]");

    packNo = 7;
    EXPECT_TRUE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_EQ(lastWritten(), report({{0, 0xA4}, {4, 7}, {8, 7}}));
    EXPECT_EQ(packNo, 9);

    VirtualConverter::Faults silent;
    silent.neverReply = true;
    converter->setFaults(silent);
    packNo = 0;
    EXPECT_FALSE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_EQ(packNo, 1);
    EXPECT_FALSE(service.isOpen(device));

    // A counter the one-byte field cannot carry is refused, not cut to another number.
    const size_t written = service.writtenReports(device).size();
    packNo = 256;
    EXPECT_FALSE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_EQ(packNo, 256);
    EXPECT_EQ(service.writtenReports(device).size(), written);
    EXPECT_FALSE(Commands::syncPackNo(manager, nullptr, packNo));
}

TEST_F(CommandsTest, AFailedOpenEndsEveryCommandBeforeAnythingIsSent) {
    SimulatedDeviceFaults refusing;
    refusing.openError = -EACCES;
    service.setDeviceFaults(device, refusing);
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
    EXPECT_EQ(lastWritten(), report({{0, 0xA6}, {4, 2}, {8, 'Q'}, {9, 'K'}}));
    EXPECT_TRUE(service.isOpen(device));
    EXPECT_EQ(Commands::getPartNumber(*reply), "QK100301");
    EXPECT_EQ(Commands::getFWVersion(*reply), "V4.3.2.1");
    EXPECT_FALSE(Commands::getFWInfo(manager, nullptr, packNo));
    EXPECT_EQ(packNo, 4);
}

TEST_F(CommandsTest, EndUpgradeFWSendsTheLowSixteenBitsOfTheCounterWithoutWaiting) {
    int64_t packNo = 258;
    Commands::endUpgradeFW(manager, device, packNo);
    EXPECT_EQ(packNo, 258);
    EXPECT_EQ(lastWritten(), report({{0, 0xAB}, {4, 0x02}, {5, 0x01}}));
    EXPECT_EQ(log.lines(), (QStringList{"[Commands][52][endUpgradeFW(_:_:_:)]",
                                        "[endUpgradeFW(_:_:_:)] Result: true"}));

    // The counter the largest image leaves behind still ends the upgrade, wrapped to 16 bits.
    packNo = 65536;
    Commands::endUpgradeFW(manager, device, packNo);
    EXPECT_EQ(lastWritten(), report({{0, 0xAB}}));
    EXPECT_EQ(packNo, 65536);

    SimulatedDeviceFaults failing;
    failing.writeError = -EIO;
    service.setDeviceFaults(device, failing);
    Commands::endUpgradeFW(manager, device, packNo);
    EXPECT_EQ(log.lines().last(), "[endUpgradeFW(_:_:_:)] Result: false");
    log.clear();
    Commands::endUpgradeFW(manager, nullptr, packNo);
    EXPECT_EQ(log.lines(), QStringList{"[Commands][52][endUpgradeFW(_:_:_:)]"});
}

// The layout reaches the virtual converter in the transfer tests; the padding and limits not.
TEST(CommandsDataPacketTest, PadsWithZerosAndRefusesWhatTheFieldsCannotCarry) {
    EXPECT_EQ(Commands::firstDataPacket(0x0102, "abcde").value_or("").mid(4),
              QByteArray("\x02\x01\0\0\0\0\0\0\x05\0\0\0abcde", 17) + zeros(43));
    EXPECT_EQ(Commands::firstDataPacket(2, QByteArray(0x1234567, 'x')).value_or("").mid(12, 4),
              QByteArray("\x67\x45\x23\x00", 4)); // the low 24 bits of the length
    EXPECT_FALSE(Commands::firstDataPacket(65536, "a"));
    EXPECT_FALSE(Commands::firstDataPacket(-1, "a"));
    EXPECT_EQ(Commands::continuationDataPacket(65535, "a"),
              QByteArray("\0\0\0\0\xFF\xFF\0\0a", 9) + zeros(55));
    EXPECT_FALSE(Commands::continuationDataPacket(4, QByteArray(57, 'z')));
    EXPECT_FALSE(Commands::continuationDataPacket(65536, "a"));
}

TEST(CommandsChecksumTest, ComparesTheSumOfTheSentBytesWithReplyBytesZeroAndOne) {
    const QByteArray request = report({{0, 0xA0}, {1, 0x8C}}); // 160 + 140 = 300 = 0x12C
    QByteArray reply = report({{0, 0x2C}, {1, 0x01}});
    ScopedDiagnosticCapture log;
    EXPECT_TRUE(Commands::checkPackChecksum(reply, request));
    EXPECT_EQ(log.lines(), QStringList{"Write Checksum: 0x 12C, Read Checksum: 0x 12C"});
    EXPECT_FALSE(Commands::checkPackChecksum(reply.first(1), request));
    reply[1] = 0x00;
    EXPECT_FALSE(Commands::checkPackChecksum(reply, request));
    // The sum does not wrap: 64 bytes of 0xFF add up to 16320.
    EXPECT_TRUE(Commands::checkPackChecksum(QByteArray("\xC0\x3F", 2), QByteArray(64, '\xFF')));
}

TEST(CommandsDecoderTest, PartNumberIsTheFirstCandidateStartingWithQKKeptAsSent) {
    struct Row {
        QByteArray first, second; // the candidates at offsets 9 and 24
        int length;
        std::optional<QString> expected;
    };
    const Row rows[] = {
        {" QK1234 ", "", 64, " QK1234 "},
        {"\tqk1003\n", "", 64, "\tqk1003\n"},
        {"QK100201", "QK100301", 64, "QK100201"},
        {"\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", "QK100301", 64, "QK100301"},
        {"XK100201", "qK100301", 64, "qK100301"},
        {"QK10020\x80", "QK1003\xC3\xA9", 64, std::nullopt},
        {"Q K10020", "KQ100301", 64, std::nullopt},
        {"", "", 64, std::nullopt},
        {"QK100201", "", 16, std::nullopt},
        {"QK100201", "", 17, "QK100201"},
        {"", "QK100301", 31, std::nullopt}, // the second candidate needs all 32 bytes
        {"", "QK100301", 32, "QK100301"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.first.toHex().toStdString() + " " + row.second.toStdString());
        QByteArray reply = zeros(64);
        reply.replace(9, row.first.size(), row.first);
        reply.replace(24, row.second.size(), row.second);
        EXPECT_EQ(Commands::getPartNumber(reply.first(row.length)), row.expected);
    }
}

TEST(CommandsDecoderTest, VersionReadsByteFortySevenFirstAndRejectsErasedValues) {
    struct Row {
        const char* bytes44to47;
        int length;
        std::optional<QString> expected;
    };
    const Row rows[] = {
        {"\x01\0\0\0", 64, "V0.0.0.1"},
        {"\x04\x03\x02\x01", 48, "V1.2.3.4"},
        {"\xFE\xFF\xFF\xFF", 64, "V255.255.255.254"},
        {"\0\0\0\0", 64, std::nullopt},
        {"\xFF\xFF\xFF\xFF", 64, std::nullopt},
        {"\x04\x03\x02\x01", 47, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        QByteArray reply = zeros(64);
        reply.replace(44, 4, QByteArray(row.bytes44to47, 4));
        EXPECT_EQ(Commands::getFWVersion(reply.first(row.length)), row.expected);
    }
}
} // namespace
