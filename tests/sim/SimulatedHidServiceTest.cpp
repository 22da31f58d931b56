#include "sim/SimulatedHidService.h"

#include <QCoreApplication>
#include <cerrno>
#include <gtest/gtest.h>

#include "device/EventLoopWaiting.h"

namespace {

QByteArray request(uint8_t command, int packNo) {
    QByteArray bytes(64, '\0');
    bytes[0] = static_cast<char>(command);
    bytes[4] = static_cast<char>(packNo);
    return bytes;
}

const QByteArray syncRequest = request(0xA4, 0);

// Every delivery due by now has happened once the posted events are drained.
void drainEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

class SimulatedHidServiceTest : public ::testing::Test {
protected:
    HidDeviceRef plugInOpenConverter(SimulatedDeviceFaults faults = {}) {
        converter = std::make_shared<VirtualConverter>();
        HidDeviceRef device =
            service.plugIn(converter, SimulatedHidService::loaderIdentity, faults);
        EXPECT_EQ(service.openDevice(device), 0);
        service.setInputReportCallback(device, [this](int32_t result, const QByteArray& report) {
            results.push_back(result);
            reports.push_back(report);
        });
        return device;
    }

    SimulatedHidService service;
    std::shared_ptr<VirtualConverter> converter;
    std::vector<int32_t> results;
    std::vector<QByteArray> reports;
};

} // namespace

TEST_F(SimulatedHidServiceTest, RepliesAndInjectedReportsArriveLaterOnTheEventLoopInOrder) {
    const HidDeviceRef device = plugInOpenConverter();
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
    ASSERT_EQ(service.setOutputReport(device, request(0xA4, 2)), 0);
    drainEvents();
    EXPECT_EQ(reports.size(), 2u);
    ASSERT_TRUE(runEventLoopUntil([&] { return reports.size() == 3; }));
    EXPECT_EQ(reports[2][4], 3);
}

TEST_F(SimulatedHidServiceTest, MatchingDecidesWhatIsCopiedAndWhichRemovalsAreReported) {
    const HidDeviceRef loader = plugInOpenConverter();
    const HidDeviceRef other = service.plugInUnrelatedDevice({0x046D, 0xC52B});
    EXPECT_EQ(service.copyDevices().size(), 2u);
    service.setDeviceMatching({SimulatedHidService::loaderIdentity});
    EXPECT_EQ(service.copyDevices(), std::vector<HidDeviceRef>{loader});
    EXPECT_EQ(service.deviceProperty(other, "VendorID"), 0x046D);
    EXPECT_EQ(service.deviceProperty(loader, "ProductID"), 2);

    std::vector<HidDeviceRef> removed;
    service.setRemovalCallback([&](const HidDeviceRef& device) { removed.push_back(device); });
    service.unplug(other);
    service.unplug(loader);
    EXPECT_TRUE(removed.empty()) << "removal delivered inside unplug()";
    drainEvents();
    EXPECT_EQ(removed, std::vector<HidDeviceRef>{loader});
    EXPECT_TRUE(service.copyDevices().empty());
}

TEST_F(SimulatedHidServiceTest, UnplugDropsPendingRepliesAndLaterOperationsFailAsGone) {
    const HidDeviceRef device = plugInOpenConverter();
    ASSERT_EQ(service.setOutputReport(device, syncRequest), 0);
    service.injectInputReport(device, QByteArray(64, '\x01'));
    service.unplug(device);
    drainEvents();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(service.openDevice(device), -ENODEV);
    EXPECT_EQ(service.setOutputReport(device, syncRequest), -ENODEV);
    EXPECT_FALSE(service.lastErrorReason(device).isEmpty());

    const HidDeviceRef again = service.plugIn(converter);
    EXPECT_NE(again, device) << "plugged in again, the same converter is a new device";
}

TEST_F(SimulatedHidServiceTest, ClosedDeviceRejectsWritesAndHearsNoPendingReply) {
    const HidDeviceRef device = plugInOpenConverter();
    ASSERT_EQ(service.setOutputReport(device, syncRequest), 0);
    EXPECT_EQ(service.closeDevice(device), 0);
    drainEvents();
    EXPECT_TRUE(reports.empty()) << "a reply reached a closed device";
    EXPECT_EQ(service.setOutputReport(device, syncRequest), -EBADF);
    EXPECT_EQ(service.openDevice(device), 0);
    EXPECT_EQ(service.openDevice(device), 0) << "opening an open device succeeds";
}

// The device link swaps its callback while handling a report; the old one must survive its call.
TEST_F(SimulatedHidServiceTest, CallbackMayReplaceItselfWhileItRuns) {
    const HidDeviceRef device = plugInOpenConverter();
    int firstCalls = 0;
    int secondCalls = 0;
    service.setInputReportCallback(device, [&, device](int32_t, const QByteArray& report) {
        ++firstCalls;
        service.setInputReportCallback(device, [&](int32_t, const QByteArray&) { ++secondCalls; });
        EXPECT_EQ(report.size(), 64); // touches the captured state after the swap
    });
    service.injectInputReport(device, QByteArray(64, '\0'));
    service.injectInputReport(device, QByteArray(64, '\0'));
    drainEvents();
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 1);
}
