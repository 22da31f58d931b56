#include "sim/SimulatedHidService.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

QByteArray request(uint8_t command, int packNo) {
    QByteArray bytes(64, '\0');
    bytes[0] = static_cast<char>(command);
    bytes[4] = static_cast<char>(packNo);
    return bytes;
}

QByteArray firstDataPacket(int packNo, int length) {
    QByteArray packet = request(0xA0, packNo);
    packet[12] = static_cast<char>(length);
    return packet;
}

// Runs the event loop until `done` holds; the deadline only keeps a broken build from hanging.
template <typename Condition> bool runUntil(Condition done) {
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return done();
}

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

TEST_F(SimulatedHidServiceTest, replyArrivesOnTheEventLoopNeverInsideTheWrite) {
    const HidDeviceRef device = plugInOpenConverter();
    ASSERT_EQ(service.setOutputReport(device, request(0xA4, 0)), 0);
    EXPECT_TRUE(reports.empty());
    drainEvents();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(results[0], 0);
    EXPECT_EQ(reports[0][4], 1);

    // With a delay the reply comes later still, and in order with what follows it.
    SimulatedDeviceFaults slow;
    slow.replyDelay = std::chrono::milliseconds(30);
    service.setDeviceFaults(device, slow);
    ASSERT_EQ(service.setOutputReport(device, request(0xA4, 2)), 0);
    drainEvents();
    EXPECT_EQ(reports.size(), 1u);
    ASSERT_TRUE(runUntil([&] { return reports.size() == 2; }));
    EXPECT_EQ(reports[1][4], 3);
}

TEST_F(SimulatedHidServiceTest, matchingDecidesWhatIsCopiedAndWhichRemovalsAreReported) {
    const HidDeviceRef loader = plugInOpenConverter();
    const HidDeviceRef other = service.plugInUnrelatedDevice({0x046D, 0xC52B});
    EXPECT_EQ(service.copyDevices().size(), 2u);

    service.setDeviceMatching({SimulatedHidService::loaderIdentity});
    const std::vector<HidDeviceRef> copied = service.copyDevices();
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0], loader);
    EXPECT_EQ(service.deviceProperty(other, "VendorID"), 0x046D);
    EXPECT_EQ(service.deviceProperty(loader, "ProductID"), 2);
    EXPECT_FALSE(service.deviceProperty(loader, "SerialNumber"));

    // The unrelated device takes writes and never answers.
    ASSERT_EQ(service.openDevice(other), 0);
    EXPECT_EQ(service.setOutputReport(other, request(0xA4, 0)), 0);

    std::vector<HidDeviceRef> removed;
    service.setRemovalCallback([&](const HidDeviceRef& device) { removed.push_back(device); });
    service.unplug(other);
    service.unplug(loader);
    EXPECT_TRUE(removed.empty()) << "removal delivered inside unplug()";
    drainEvents();
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0], loader);
    EXPECT_TRUE(service.copyDevices().empty());
    EXPECT_TRUE(reports.empty());
}

TEST_F(SimulatedHidServiceTest, unplugDropsPendingRepliesAndLaterOperationsFailWithNoDevice) {
    const HidDeviceRef device = plugInOpenConverter();
    ASSERT_EQ(service.setOutputReport(device, request(0xA4, 0)), 0);
    service.injectInputReport(device, QByteArray(64, '\x01'));
    service.unplug(device);
    drainEvents();
    EXPECT_TRUE(reports.empty());

    EXPECT_EQ(service.openDevice(device), -ENODEV);
    EXPECT_EQ(service.setOutputReport(device, request(0xA4, 0)), -ENODEV);
    EXPECT_FALSE(service.lastErrorReason(device).isEmpty());

    // Plugged in again, the same converter is a new device.
    const HidDeviceRef again = service.plugIn(converter);
    EXPECT_NE(again, device);
    EXPECT_EQ(service.openDevice(again), 0);
}

TEST_F(SimulatedHidServiceTest, closedDeviceRejectsWritesAndHearsNothingUntilReopened) {
    const HidDeviceRef device = plugInOpenConverter();
    ASSERT_EQ(service.setOutputReport(device, request(0xA4, 0)), 0);
    EXPECT_EQ(service.closeDevice(device), 0);
    drainEvents();
    EXPECT_TRUE(reports.empty()) << "a reply reached a closed device";
    EXPECT_EQ(service.setOutputReport(device, request(0xA4, 0)), -EBADF);

    EXPECT_EQ(service.openDevice(device), 0);
    EXPECT_EQ(service.openDevice(device), 0) << "opening an open device succeeds";
    EXPECT_EQ(service.setOutputReport(device, request(0xA4, 0)), 0);
    drainEvents();
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(SimulatedHidServiceTest, connectionFaults) {
    SimulatedDeviceFaults refuse;
    refuse.openError = -EACCES;
    const HidDeviceRef locked = service.plugIn(std::make_shared<VirtualConverter>(),
                                               SimulatedHidService::loaderIdentity, refuse);
    EXPECT_TRUE(service.lastErrorReason(locked).isEmpty());
    EXPECT_EQ(service.openDevice(locked), -EACCES);
    EXPECT_TRUE(service.lastErrorReason(locked).contains("Permission denied"));

    SimulatedDeviceFaults failing;
    failing.writeError = -EIO;
    failing.writesBeforeWriteError = 1;
    const HidDeviceRef device = plugInOpenConverter(failing);
    EXPECT_EQ(service.setOutputReport(device, request(0xA4, 0)), 0);
    EXPECT_EQ(service.setOutputReport(device, request(0xA4, 0)), -EIO);
    EXPECT_EQ(converter->requests().size(), 1u) << "a failed write reached the device";
    EXPECT_EQ(service.writtenReports(device).size(), 1u);
}

TEST_F(SimulatedHidServiceTest, unplugAfterDataPacketsAnswersThemThenRemovesTheDevice) {
    SimulatedDeviceFaults faults;
    faults.unplugAfterDataPackets = 1;
    const HidDeviceRef device = plugInOpenConverter(faults);
    int removals = 0;
    service.setRemovalCallback([&](const HidDeviceRef&) { ++removals; });

    ASSERT_EQ(service.setOutputReport(device, request(0xA4, 0)), 0);
    ASSERT_EQ(service.setOutputReport(device, firstDataPacket(2, 200)), 0);
    EXPECT_TRUE(service.isAttached(device));
    drainEvents();
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_FALSE(service.isAttached(device));
    EXPECT_EQ(removals, 1);
    EXPECT_EQ(service.setOutputReport(device, request(0x00, 4)), -ENODEV);
}

TEST_F(SimulatedHidServiceTest, injectedReportsArriveInOrderWithTheirResultCodes) {
    const HidDeviceRef device = plugInOpenConverter();
    service.injectInputReport(device, QByteArray("\x01\xAB", 2));
    service.injectInputReport(device, QByteArray(64, '\x02'), -EIO);
    EXPECT_TRUE(reports.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(reports.size(), 2u) << "both reports belong to one turn of the event loop";
    EXPECT_EQ(reports[0], QByteArray("\x01\xAB", 2));
    EXPECT_EQ(results[1], -EIO);
}

// The device link swaps its callback while handling a report; the old one must survive its call.
TEST_F(SimulatedHidServiceTest, callbackMayReplaceItselfWhileItRuns) {
    const HidDeviceRef device = plugInOpenConverter();
    int firstCalls = 0;
    int secondCalls = 0;
    service.setInputReportCallback(device, [&, device](int32_t, const QByteArray& report) {
        ++firstCalls;
        service.setInputReportCallback(device, [&](int32_t, const QByteArray&) { ++secondCalls; });
        EXPECT_EQ(report.size(), 64); // touches the captured state after the swap
        EXPECT_EQ(firstCalls, 1);
    });
    service.injectInputReport(device, QByteArray(64, '\0'));
    service.injectInputReport(device, QByteArray(64, '\0'));
    drainEvents();
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 1);
}
