#include "device/HidrawHidService.h"
#include "EventLoopWaiting.h"
#include "SocketPairDevice.h"
#include "device/DescriptorHidrawNodeSource.h"

#include <QCoreApplication>
#include <QThread>
#include <cerrno>
#include <gtest/gtest.h>
#include <thread>

namespace {
const HidrawNode loader{"/dev/hidraw3", 0x1209, 0x0002};
const HidrawNode application{"/dev/hidraw4", 0x1209, 0x0001};

QByteArray report(char first, int size = 64) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(first + i);
    return bytes;
}

struct ReceivedReport {
    int32_t result;
    QByteArray bytes;
    QThread* thread;
};

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
            received.push_back({result, bytes, QThread::currentThread()});
        });
        return ref;
    }

    DescriptorHidrawNodeSource* source = nullptr;
    std::unique_ptr<SocketPairDevice> device;
    std::unique_ptr<HidrawHidService> service;
    std::vector<HidDeviceRef> removed;
    std::vector<ReceivedReport> received;
};

TEST_F(HidrawHidServiceTest, OutputReportIsOneWriteOfReportIdZeroAndTheSixtyFourBytes) {
    ASSERT_EQ(service->open(), 0);
    const HidDeviceRef ref = openListening();
    ASSERT_EQ(service->setOutputReport(ref, report(0x41)), 0);
    ASSERT_EQ(service->setOutputReport(ref, report(0x10)), 0);

    const std::optional<QByteArray> first = device->receive();
    ASSERT_TRUE(first);
    ASSERT_EQ(first->size(), 65);
    EXPECT_EQ((*first)[0], '\0');
    EXPECT_EQ(first->mid(1), report(0x41));
    const std::optional<QByteArray> second = device->receive();
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, QByteArray(1, '\0') + report(0x10));
}

TEST_F(HidrawHidServiceTest, InputReportsArriveOnTheGuiThreadOnceEachWithTheirLength) {
    const HidDeviceRef ref = openListening();
    // Written by another thread, as the kernel would at any moment.
    std::thread writer([this] {
        device->send(report(0x01));
        device->send(report(0x30, 10));
    });
    writer.join();

    ASSERT_TRUE(runEventLoopUntil([this] { return received.size() >= 2; }));
    runEventLoopUntil([] { return false; }, std::chrono::milliseconds{50});
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].bytes, report(0x01));
    EXPECT_EQ(received[1].bytes, report(0x30, 10)); // not padded to 64
    for (const ReceivedReport& r : received) {
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.thread, QCoreApplication::instance()->thread());
    }
}

TEST_F(HidrawHidServiceTest, NewInputRegistrationReplacesTheOldAndClosingStopsReports) {
    const HidDeviceRef ref = openListening();
    int replacedCalls = 0;
    service->setInputReportCallback(ref, [&](int32_t, const QByteArray&) { ++replacedCalls; });
    device->send(report(0x01));
    ASSERT_TRUE(runEventLoopUntil([&] { return replacedCalls == 1; }));
    EXPECT_TRUE(received.empty());

    ASSERT_EQ(service->closeDevice(ref), 0);
    device->send(report(0x02));
    runEventLoopUntil([] { return false; }, std::chrono::milliseconds{100});
    EXPECT_EQ(replacedCalls, 1);
    EXPECT_EQ(service->setOutputReport(ref, report(0)), -EBADF);
    EXPECT_EQ(service->closeDevice(ref), -EBADF);
}

TEST_F(HidrawHidServiceTest, PeerClosingCountsAsTheDeviceGone) {
    ASSERT_EQ(service->open(), 0);
    const HidDeviceRef ref = openListening();
    device->hangUp();
    EXPECT_TRUE(removed.empty()); // delivered from the event loop, not from inside anything

    ASSERT_TRUE(runEventLoopUntil([this] { return !removed.empty(); }));
    runEventLoopUntil([] { return false; }, std::chrono::milliseconds{50});
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed.front(), ref);
    EXPECT_EQ(service->setOutputReport(ref, report(0)), -ENODEV);
    EXPECT_FALSE(service->lastErrorReason(ref).isEmpty());
    EXPECT_EQ(service->openDevice(ref), -ENODEV);
    // The removed device still says who it was.
    EXPECT_EQ(service->deviceProperty(ref, "VendorID"), 0x1209);
    EXPECT_EQ(service->deviceProperty(ref, "ProductID"), 0x0002);
    // Its node is still listed, but it stays gone until the node is replugged.
    EXPECT_TRUE(service->copyDevices().empty());
}

TEST_F(HidrawHidServiceTest, WriteToADeviceWhoseEndClosedFailsAsGoneWithoutSignal) {
    const HidDeviceRef ref = onlyDevice();
    ASSERT_EQ(service->openDevice(ref), 0); // nobody reads, so only the write can notice
    device->hangUp();
    EXPECT_EQ(service->setOutputReport(ref, report(0)), -ENODEV);
    EXPECT_TRUE(removed.empty());
    ASSERT_TRUE(runEventLoopUntil([this] { return !removed.empty(); }));
    EXPECT_EQ(removed.front(), ref);
}

TEST_F(HidrawHidServiceTest, OpenFailureKeepsItsErrorAndReason) {
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

TEST_F(HidrawHidServiceTest, CopiesFollowTheMatchingAndKeepOneReferencePerAttachedDevice) {
    SocketPairDevice other(*source, application);
    EXPECT_EQ(service->copyDevices().size(), 2u); // no matching: every device
    service->setDeviceMatching({{0x1209, 0x0002}});
    const HidDeviceRef first = onlyDevice();
    ASSERT_TRUE(first);
    EXPECT_EQ(service->deviceProperty(first, "ProductID"), 0x0002);
    EXPECT_EQ(service->deviceProperty(first, "LocationID"), std::nullopt);
    EXPECT_EQ(onlyDevice(), first);
    service->setDeviceMatching({{0x1209, 0x0001}, {0x1209, 0x0002}});
    EXPECT_EQ(service->copyDevices().size(), 2u);
}

TEST_F(HidrawHidServiceTest, AnnouncedRemovalsOfMatchingDevicesReachTheCallback) {
    SocketPairDevice other(*source, application);
    ASSERT_EQ(service->open(), 0);
    service->setDeviceMatching({{0x1209, 0x0002}});
    const HidDeviceRef before = onlyDevice();

    source->removeNode(application.devnode); // not matching: nobody hears of it
    source->removeNode(loader.devnode);
    ASSERT_TRUE(runEventLoopUntil([this] { return !removed.empty(); }));
    runEventLoopUntil([] { return false; }, std::chrono::milliseconds{50});
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed.front(), before);
    EXPECT_TRUE(service->copyDevices().empty());

    SocketPairDevice replugged(*source, loader);
    const HidDeviceRef after = onlyDevice();
    ASSERT_TRUE(after);
    EXPECT_NE(after, before);
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
    runEventLoopUntil([] { return false; }, std::chrono::milliseconds{50});
    EXPECT_TRUE(removed.empty());
}
} // namespace

namespace {
// This machine's own hidraw nodes, if any: enumeration and the removal watch must work with or
// without a udev daemon, and every node found must carry its USB identity.
TEST(HidrawHidServiceOnThisMachineTest, EnumeratesAndWatchesThroughUdev) {
    HidrawHidService service;
    EXPECT_EQ(service.open(), 0);
    for (const HidDeviceRef& device : service.copyDevices()) {
        EXPECT_TRUE(service.deviceProperty(device, "VendorID"));
        EXPECT_TRUE(service.deviceProperty(device, "ProductID"));
    }
    runEventLoopUntil([] { return false; }, std::chrono::milliseconds{20});
}
} // namespace
