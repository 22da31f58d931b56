#include "sim/SimulatedHidService.h"

#include <QCoreApplication>
#include <cerrno>
#include <gtest/gtest.h>

#include "device/EventLoopWaiting.h"

namespace {
const QByteArray syncRequest = QByteArray(1, '\xA4') + QByteArray(63, '\0');

// Every delivery due by now has happened once the posted events are drained.
void drainEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

TEST(SimulatedHidServiceTest, DeliversLaterInOrderToAnOpenDeviceAndReportsMatchingRemovals) {
    SimulatedHidService service;
    const auto converter = std::make_shared<VirtualConverter>();
    const HidDeviceRef device = service.plugIn(converter);
    const HidDeviceRef other = service.plugInUnrelatedDevice({0x046D, 0xC52B});
    std::vector<std::pair<int32_t, QByteArray>> reports;
    std::vector<HidDeviceRef> removed;
    service.setRemovalCallback([&](const HidDeviceRef& gone) { removed.push_back(gone); });
    ASSERT_EQ(service.openDevice(device), 0);
    service.setInputReportCallback(device, [&](int32_t result, const QByteArray& report) {
        reports.emplace_back(result, report);
    });
    ASSERT_EQ(service.setOutputReport(device, syncRequest), 0);
    service.injectInputReport(device, QByteArray("\x01\xAB", 2), -EIO);
    EXPECT_TRUE(reports.empty()) << "delivered inside the write";
    drainEvents();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].second[4], 1);
    EXPECT_EQ(reports[1], std::pair(-EIO, QByteArray("\x01\xAB", 2)));

    service.setDeviceFaults(device, {.replyDelay = std::chrono::milliseconds(30)});
    ASSERT_EQ(service.setOutputReport(device, syncRequest), 0);
    drainEvents();
    EXPECT_EQ(reports.size(), 2u);
    ASSERT_TRUE(runEventLoopUntil([&] { return reports.size() == 3; }));
    ASSERT_EQ(service.setOutputReport(device, syncRequest), 0);
    EXPECT_EQ(service.closeDevice(device), 0);
    runEventLoopFor(std::chrono::milliseconds{60});
    EXPECT_EQ(reports.size(), 3u) << "a reply reached a closed device";

    service.setDeviceMatching({SimulatedHidService::loaderIdentity});
    EXPECT_EQ(service.copyDevices(), std::vector<HidDeviceRef>{device});
    ASSERT_EQ(service.openDevice(device), 0);
    service.injectInputReport(device, QByteArray(64, '\x01'));
    service.unplug(other);
    service.unplug(device);
    EXPECT_TRUE(removed.empty()) << "removal delivered inside unplug()";
    drainEvents();
    EXPECT_EQ(removed, std::vector<HidDeviceRef>{device});
    EXPECT_EQ(reports.size(), 3u) << "a pending report outlived the unplug";
    EXPECT_TRUE(service.copyDevices().empty());
    EXPECT_EQ(service.openDevice(device), -ENODEV);
    EXPECT_EQ(service.setOutputReport(device, syncRequest), -ENODEV);
    EXPECT_NE(service.plugIn(converter), device) << "plugged in again, it is a new device";
}

// A 64-byte request with `payload` at `offset`.
QByteArray request(char command, char packNo, const QByteArray& payload, int offset) {
    QByteArray bytes(64, '\0');
    bytes[0] = command;
    bytes[4] = packNo;
    bytes[12] = 100; // the image's length, in the first data packet
    return bytes.replace(offset, payload.size(), payload);
}

// Only a whole update that every answer confirmed, closed by the end command, brings the version
// the image carries; anything else leaves the converter as it was.
TEST(VirtualConverterTest, ReportsTheVersionOfTheImageItReceivedOnlyAfterAConfirmedUpdate) {
    const QByteArray image(100, '\x5A'); // two data packets
    const VirtualConverter::Faults none, finalSum{.wrongFinalChecksum = true},
        packetSum{.wrongChecksumAtPackNo = 4}, silent{.noReplyFromPackNo = 4};
    // faults, the image whose version it knows, whether the end command comes, version after
    const std::tuple<VirtualConverter::Faults, QByteArray, bool, uint32_t> rows[] = {
        {none, image, true, 0x01010002},       {none, image, false, 0x01000005},
        {none, image + "+", true, 0x01000005}, {finalSum, image, true, 0x01000005},
        {packetSum, image, true, 0x01000005},  {silent, image, true, 0x01000005},
    };
    int row = 0;
    for (const auto& [faults, known, ended, version] : rows) {
        SCOPED_TRACE(row++);
        VirtualConverter converter({"QK100201", 0x01000005, false});
        converter.setFaults(faults);
        converter.setImageVersion(known, 0x01010002);
        converter.handleOutputReport(request('\xA0', 2, image.left(48), 16));
        converter.handleOutputReport(request('\x00', 4, image.mid(48), 8));
        if (ended)
            converter.handleOutputReport(request('\xAB', 6, {}, 8));
        EXPECT_EQ(converter.identity().firmwareVersion, version);
    }
}
} // namespace
