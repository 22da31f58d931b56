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

class SimulatedHidServiceTest : public ::testing::Test {
protected:
    SimulatedHidServiceTest() {
        EXPECT_EQ(service.openDevice(device), 0);
        service.setInputReportCallback(device, [this](int32_t result, const QByteArray& report) {
            results.push_back(result);
            reports.push_back(report);
        });
    }

    SimulatedHidService service;
    std::shared_ptr<VirtualConverter> converter = std::make_shared<VirtualConverter>();
    HidDeviceRef device = service.plugIn(converter);
    std::vector<int32_t> results;
    std::vector<QByteArray> reports;
};

TEST_F(SimulatedHidServiceTest, RepliesArriveLaterOnTheEventLoopInOrderAndOnlyWhileOpen) {
    ASSERT_EQ(service.setOutputReport(device, syncRequest), 0);
    service.injectInputReport(device, QByteArray("\x01\xAB", 2), -EIO);
    EXPECT_TRUE(reports.empty()) << "delivered inside the write";
    drainEvents();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0][4], 1);
    EXPECT_EQ(results, (std::vector<int32_t>{0, -EIO}));
    EXPECT_EQ(reports[1], QByteArray("\x01\xAB", 2));

    SimulatedDeviceFaults slow;
    slow.replyDelay = std::chrono::milliseconds(30);
    service.setDeviceFaults(device, slow);
    ASSERT_EQ(service.setOutputReport(device, syncRequest), 0);
    drainEvents();
    EXPECT_EQ(reports.size(), 2u);
    ASSERT_TRUE(runEventLoopUntil([&] { return reports.size() == 3; }));

    ASSERT_EQ(service.setOutputReport(device, syncRequest), 0);
    EXPECT_EQ(service.closeDevice(device), 0);
    runEventLoopUntil([] { return false; }, std::chrono::milliseconds{60});
    EXPECT_EQ(reports.size(), 3u) << "a reply reached a closed device";
    EXPECT_EQ(service.setOutputReport(device, syncRequest), -EBADF);
}

TEST_F(SimulatedHidServiceTest, MatchingDecidesCopiesAndRemovalsAndAnUnplugDropsWhatWasPending) {
    const HidDeviceRef other = service.plugInUnrelatedDevice({0x046D, 0xC52B});
    EXPECT_EQ(service.copyDevices().size(), 2u);
    service.setDeviceMatching({SimulatedHidService::loaderIdentity});
    EXPECT_EQ(service.copyDevices(), std::vector<HidDeviceRef>{device});
    EXPECT_EQ(service.deviceProperty(other, "VendorID"), 0x046D);
    EXPECT_EQ(service.deviceProperty(device, "ProductID"), 2);

    std::vector<HidDeviceRef> removed;
    service.setRemovalCallback([&](const HidDeviceRef& gone) { removed.push_back(gone); });
    ASSERT_EQ(service.setOutputReport(device, syncRequest), 0);
    service.injectInputReport(device, QByteArray(64, '\x01'));
    service.unplug(other);
    service.unplug(device);
    EXPECT_TRUE(removed.empty()) << "removal delivered inside unplug()";
    drainEvents();
    EXPECT_EQ(removed, std::vector<HidDeviceRef>{device});
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(service.copyDevices().empty());
    EXPECT_EQ(service.openDevice(device), -ENODEV);
    EXPECT_EQ(service.setOutputReport(device, syncRequest), -ENODEV);
    EXPECT_FALSE(service.lastErrorReason(device).isEmpty());
    EXPECT_NE(service.plugIn(converter), device) << "plugged in again, it is a new device";
}
} // namespace
