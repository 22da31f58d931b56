#include "protocol/Commands.h"
#include "ScopedDiagnosticCapture.h"
#include "sim/SimulatedHidService.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {
using std::chrono::milliseconds;

QByteArray report(std::initializer_list<std::pair<int, uint8_t>> bytes) {
    QByteArray result = QByteArray(64, 0);
    for (const auto& [offset, value] : bytes)
        result[offset] = static_cast<char>(value);
    return result;
}

class CommandsTest : public ::testing::Test {
protected:
    QByteArray lastWritten() const {
        const std::vector<QByteArray> written = service.writtenReports(device);
        return written.empty() ? QByteArray() : written.back();
    }

    SimulatedHidService service;
    std::shared_ptr<VirtualConverter> converter = std::make_shared<VirtualConverter>(
        VirtualConverter::Identity{"QK100301", 0x04030201, true}); // in the second field
    HidDeviceRef device = service.plugIn(converter);
    USBHidManager manager{service, {}, {}, {milliseconds{200}, milliseconds{50}}};
    ScopedDiagnosticCapture log;
};

TEST_F(CommandsTest, SyncAndIdentifyWriteTheCounterAndExpectItPlusOne) {
    int64_t packNo = 7;
    EXPECT_TRUE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_EQ(std::tuple(lastWritten(), packNo),
              std::tuple(report({{0, 0xA4}, {4, 7}, {8, 7}}), 9));
    EXPECT_FALSE(service.isOpen(device));
    packNo = 2;
    const std::optional<QByteArray> reply = Commands::getFWInfo(manager, device, packNo);
    ASSERT_TRUE(reply);
    EXPECT_EQ(std::tuple(lastWritten(), packNo),
              std::tuple(report({{0, 0xA6}, {4, 2}, {8, 'Q'}, {9, 'K'}}), 4));
    EXPECT_TRUE(service.isOpen(device)); // left open for the transfer
    EXPECT_EQ(std::tuple(Commands::getPartNumber(*reply), Commands::getFWVersion(*reply)),
              std::tuple("QK100301", "V4.3.2.1"));

    // A counter the one-byte field cannot carry is refused, not cut to another number.
    const size_t written = service.writtenReports(device).size();
    packNo = 256;
    EXPECT_FALSE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_FALSE(Commands::getFWInfo(manager, device, packNo));
    EXPECT_EQ(std::tuple(packNo, service.writtenReports(device).size()), std::tuple(256, written));
}

TEST_F(CommandsTest, AFailedOpenEndsEveryCommandAndEndUpgradeFWSendsSixteenBitsWithoutWaiting) {
    service.setDeviceFaults(device, {.openError = -EACCES});
    int64_t packNo = 0;
    EXPECT_FALSE(Commands::syncPackNo(manager, device, packNo));
    EXPECT_FALSE(Commands::getFWInfo(manager, device, packNo));
    Commands::endUpgradeFW(manager, device, packNo);
    EXPECT_EQ(packNo, 0);
    EXPECT_TRUE(service.writtenReports(device).empty());
    EXPECT_EQ(log.lines(), (QStringList{"[Commands][14][syncPackNo(_:_:_:)]",
                                        "[Commands][33][getFWInfo(_:_:_:)]",
                                        "[Commands][52][endUpgradeFW(_:_:_:)]"}));

    service.setDeviceFaults(device, {});
    log.clear();
    packNo = 258;
    Commands::endUpgradeFW(manager, device, packNo);
    EXPECT_EQ(packNo, 258);
    EXPECT_EQ(lastWritten(), report({{0, 0xAB}, {4, 0x02}, {5, 0x01}}));
    EXPECT_EQ(log.lines(), (QStringList{"[Commands][52][endUpgradeFW(_:_:_:)]",
                                        "[endUpgradeFW(_:_:_:)] Result: true"}));

    packNo = 65536; // what the largest image leaves behind, wrapped to 16 bits
    Commands::endUpgradeFW(manager, device, packNo);
    EXPECT_EQ(lastWritten(), report({{0, 0xAB}}));

    service.setDeviceFaults(device, {.writeError = -EIO});
    Commands::endUpgradeFW(manager, device, packNo);
    EXPECT_EQ(log.lines().last(), "[endUpgradeFW(_:_:_:)] Result: false");
}

// The layout reaches the virtual converter in the transfer tests; the padding and limits not.
TEST(CommandsPacketTest, PaddingLimitsAndChecksumsOfDataPackets) {
    EXPECT_EQ(Commands::firstDataPacket(0x0102, "abcde").value_or("").mid(4),
              QByteArray("\x02\x01\0\0\0\0\0\0\x05\0\0\0abcde", 17) + QByteArray(43, 0));
    EXPECT_EQ(Commands::firstDataPacket(2, QByteArray(0x1234567, 'x')).value_or("").mid(12, 4),
              QByteArray("\x67\x45\x23\x00", 4)); // the low 24 bits of the length
    EXPECT_FALSE(Commands::firstDataPacket(65536, "a"));
    EXPECT_FALSE(Commands::firstDataPacket(-1, "a"));
    EXPECT_EQ(Commands::continuationDataPacket(65535, "a"),
              QByteArray("\0\0\0\0\xFF\xFF\0\0a", 9) + QByteArray(55, 0));
    EXPECT_FALSE(Commands::continuationDataPacket(4, QByteArray(57, 'z')));
    EXPECT_FALSE(Commands::continuationDataPacket(65536, "a"));

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

TEST(CommandsDecoderTest, PartNumberAndVersionNeedTheirWholeFieldsAndRejectErasedValues) {
    const std::tuple<QByteArray, QByteArray, int, std::optional<QString>> partNumbers[] = {
        {"\tqk1003\n", "", 64, "\tqk1003\n"}, // the first candidate starting with QK, as sent
        {"QK100201", "QK100301", 64, "QK100201"},
        {"XK100201", "qK100301", 64, "qK100301"},
        {"QK10020\x80", "QK1003\xC3\xA9", 64, std::nullopt},
        {"QK100201", "", 16, std::nullopt},
        {"QK100201", "", 17, "QK100201"},
        {"", "QK100301", 31, std::nullopt},
        {"", "QK100301", 32, "QK100301"}};
    for (const auto& [first, second, length, expected] : partNumbers) {
        QByteArray reply = QByteArray(64, 0);
        reply.replace(9, first.size(), first).replace(24, second.size(), second);
        EXPECT_EQ(Commands::getPartNumber(reply.first(length)), expected) << first.toHex().data();
    }
    const std::tuple<const char*, int, std::optional<QString>> versions[] = {
        {"\x01\0\0\0", 64, "V0.0.0.1"},
        {"\x04\x03\x02\x01", 48, "V1.2.3.4"},
        {"\xFE\xFF\xFF\xFF", 64, "V255.255.255.254"},
        {"\0\0\0\0", 64, std::nullopt},
        {"\xFF\xFF\xFF\xFF", 64, std::nullopt},
        {"\x04\x03\x02\x01", 47, std::nullopt}};
    for (const auto& [bytes44to47, length, expected] : versions) {
        const QByteArray reply = QByteArray(44, 0) + QByteArray(bytes44to47, 4) + QByteArray(16, 0);
        EXPECT_EQ(Commands::getFWVersion(reply.first(length)), expected) << length;
    }
}
} // namespace
