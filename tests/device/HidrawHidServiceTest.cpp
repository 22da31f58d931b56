#include "device/HidrawHidService.h"
#include "EventLoopWaiting.h"
#include "SocketPairDevice.h"
#include "device/DescriptorHidrawNodeSource.h"
#include "device/HidrawDevice.h"

#include <QCoreApplication>
#include <QThread>
#include <cerrno>
#include <gtest/gtest.h>
#include <thread>

// The real hidraw code over socket pairs (SocketPairDevice); hanging up is the node going away.
namespace {
using std::chrono::milliseconds;

const HidrawNode loader{"/dev/hidraw3", 0x1209, 0x0002};
const HidrawNode application{"/dev/hidraw4", 0x1209, 0x0001};

QByteArray report(char first, int size = 64) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(first + i);
    return bytes;
}

void settle() {
    runEventLoopUntil([] { return false; }, milliseconds{50});
}

class HidrawHidServiceTest : public ::testing::Test {
protected:
    HidrawHidServiceTest() {
        auto owned = std::make_unique<DescriptorHidrawNodeSource>();
        source = owned.get();
        device = std::make_unique<SocketPairDevice>(*source, loader);
        service = std::make_unique<HidrawHidService>(std::move(owned));
        service->setRemovalCallback([this](const HidDeviceRef& ref) { removed.push_back(ref); });
    }

    HidDeviceRef onlyDevice() {
        const std::vector<HidDeviceRef> devices = service->copyDevices();
        return devices.size() == 1 ? devices.front() : nullptr;
    }

    HidDeviceRef openListening() {
        HidDeviceRef ref = onlyDevice();
        EXPECT_EQ(service->openDevice(ref), 0);
        service->setInputReportCallback(ref, [this](int32_t result, const QByteArray& bytes) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
            received.push_back(bytes);
        });
        return ref;
    }

    DescriptorHidrawNodeSource* source = nullptr;
    std::unique_ptr<SocketPairDevice> device;
    std::unique_ptr<HidrawHidService> service;
    std::vector<HidDeviceRef> removed;
    std::vector<QByteArray> received;
};

TEST_F(HidrawHidServiceTest, OutputReportIsOneWriteOfReportIdZeroAndTheSixtyFourBytes) {
    ASSERT_EQ(service->open(), 0);
    const HidDeviceRef ref = openListening();
    ASSERT_EQ(service->setOutputReport(ref, report(0x41)), 0);
    ASSERT_EQ(service->setOutputReport(ref, report(0x10)), 0);
    EXPECT_EQ(device->receive(), QByteArray(1, '\0') + report(0x41));
    EXPECT_EQ(device->receive(), QByteArray(1, '\0') + report(0x10));
}

TEST_F(HidrawHidServiceTest, InputReportsArriveOnTheGuiThreadOnceEachUntilReplacedOrClosed) {
    const HidDeviceRef ref = openListening();
    // Written by another thread, as the kernel would at any moment.
    std::thread writer([this] {
        device->send(report(0x01));
        device->send(report(0x30, 10));
    });
    writer.join();
    ASSERT_TRUE(runEventLoopUntil([this] { return received.size() >= 2; }));
    settle();
    EXPECT_EQ(received, (std::vector<QByteArray>{report(0x01), report(0x30, 10)})); // not padded

    int replacedCalls = 0;
    service->setInputReportCallback(ref, [&](int32_t, const QByteArray&) { ++replacedCalls; });
    device->send(report(0x02));
    ASSERT_TRUE(runEventLoopUntil([&] { return replacedCalls == 1; }));
    ASSERT_EQ(service->closeDevice(ref), 0);
    device->send(report(0x03));
    settle();
    EXPECT_EQ(replacedCalls, 1);
    EXPECT_EQ(received.size(), 2u);
    EXPECT_EQ(service->setOutputReport(ref, report(0)), -EBADF);
}

TEST_F(HidrawHidServiceTest, PeerClosingCountsAsTheDeviceGone) {
    ASSERT_EQ(service->open(), 0);
    const HidDeviceRef ref = openListening();
    device->hangUp();
    EXPECT_TRUE(removed.empty()); // delivered from the event loop, not from inside anything
    ASSERT_TRUE(runEventLoopUntil([this] { return !removed.empty(); }));
    settle();
    EXPECT_EQ(removed, std::vector<HidDeviceRef>{ref});
    EXPECT_EQ(service->setOutputReport(ref, report(0)), -ENODEV);
    EXPECT_FALSE(service->lastErrorReason(ref).isEmpty());
    EXPECT_EQ(service->openDevice(ref), -ENODEV);
    EXPECT_EQ(service->deviceProperty(ref, "ProductID"), 0x0002); // still says who it was
    EXPECT_TRUE(service->copyDevices().empty()); // listed node, but gone until replugged
}

TEST_F(HidrawHidServiceTest, WriteToADeviceWhoseEndClosedFailsAsGoneAndReportsTheRemoval) {
    const HidDeviceRef ref = onlyDevice();
    ASSERT_EQ(service->openDevice(ref), 0); // nobody reads, so only the write can notice
    device->hangUp();
    EXPECT_EQ(service->setOutputReport(ref, report(0)), -ENODEV);
    EXPECT_TRUE(removed.empty());
    ASSERT_TRUE(runEventLoopUntil([this] { return !removed.empty(); }));
    EXPECT_EQ(removed.front(), ref);
}

// A socket pair cannot stall an endpoint, so the hidraw side of a broken pipe is checked where the
// write's error is judged: a stalled output endpoint fails one write and leaves the node usable.
TEST(HidrawDeviceTest, ABrokenPipeMeansGoneOnlyOnASocket) {
    EXPECT_FALSE(HidrawDevice::meansGone(EPIPE, false));
    EXPECT_TRUE(HidrawDevice::meansGone(EPIPE, true));
}

TEST_F(HidrawHidServiceTest, OpenFailureKeepsItsErrorAndReasonUntilAnOpenSucceeds) {
    source->setOpenError(loader.devnode, -EACCES);
    const HidDeviceRef ref = onlyDevice();
    EXPECT_EQ(service->openDevice(ref), -EACCES);
    EXPECT_TRUE(service->lastErrorReason(ref).contains(loader.devnode));
    EXPECT_TRUE(service->lastErrorReason(ref).contains(QStringLiteral("Permission denied")));
    EXPECT_EQ(service->setOutputReport(ref, report(0)), -EBADF);

    source->setOpenError(loader.devnode, std::nullopt);
    EXPECT_EQ(service->openDevice(ref), 0);
    EXPECT_EQ(service->openDevice(ref), 0); // opening an open device again succeeds
}

TEST_F(HidrawHidServiceTest, MatchingDecidesTheCopiesAndWhichRemovalsButNotArrivalsAreReported) {
    SocketPairDevice other(*source, application);
    std::vector<HidDeviceRef> arrived;
    service->setArrivalCallback([&](const HidDeviceRef& ref) { arrived.push_back(ref); });
    ASSERT_EQ(service->open(), 0);
    EXPECT_EQ(service->copyDevices().size(), 2u); // no matching: every device
    service->setDeviceMatching({{0x1209, 0x0001}, {0x1209, 0x0002}});
    EXPECT_EQ(service->copyDevices().size(), 2u);
    service->setDeviceMatching({{0x1209, 0x0002}});
    const HidDeviceRef before = onlyDevice();
    ASSERT_TRUE(before);
    EXPECT_EQ(onlyDevice(), before); // one reference per attached device

    source->removeNode(application.devnode); // not matching: nobody hears of it
    source->removeNode(loader.devnode);
    ASSERT_TRUE(runEventLoopUntil([this] { return !removed.empty(); }));
    settle();
    EXPECT_EQ(removed, std::vector<HidDeviceRef>{before});

    EXPECT_TRUE(arrived.empty()); // attached before open(): for the copies to find

    // Plugged in again: announced whatever the matching, as the device copies will list it.
    service->setDeviceMatching({{0x1209, 0x0001}});
    SocketPairDevice replugged(*source, loader);
    ASSERT_TRUE(runEventLoopUntil([&] { return !arrived.empty(); }));
    service->setDeviceMatching({{0x1209, 0x0002}});
    const HidDeviceRef after = onlyDevice();
    ASSERT_TRUE(after);
    EXPECT_NE(after, before);
    EXPECT_EQ(arrived, std::vector<HidDeviceRef>{after});
}

TEST_F(HidrawHidServiceTest, WithoutAnnouncementsRemovalsAreFoundByRescanning) {
    source->setAnnounces(false);
    ASSERT_EQ(service->open(), 0);
    const HidDeviceRef ref = onlyDevice();
    source->removeNode(loader.devnode);
    ASSERT_TRUE(runEventLoopUntil([this] { return !removed.empty(); }));
    EXPECT_EQ(removed.front(), ref);
}

TEST_F(HidrawHidServiceTest, DestroyingTheServiceCancelsPendingRemovals) {
    const HidDeviceRef ref = openListening();
    device->hangUp();
    service->setOutputReport(ref, report(0));
    service.reset();
    settle();
    EXPECT_TRUE(removed.empty());
}

} // namespace
