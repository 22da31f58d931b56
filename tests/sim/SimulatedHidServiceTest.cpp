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
    EXPECT_EQ(service.setOutputReport(device, syncRequest), -EBADF);

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
} // namespace
