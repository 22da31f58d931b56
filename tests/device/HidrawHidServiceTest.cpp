#include "device/HidrawHidService.h"
#include "EventLoopWaiting.h"
#include "SocketPairDevice.h"
#include "device/HidrawDevice.h"
#include "device/UdevHidId.h"

#include <cerrno>
#include <gtest/gtest.h>

// The real hidraw code over socket pairs; hanging up is the node going away.
namespace {
const HidrawNode loader{"/dev/hidraw3", 0x1209, 0x0002};
const HidrawNode application{"/dev/hidraw4", 0x1209, 0x0001};

// A service over one loader node, recording the removals it reports.
struct Rig {
    Rig() {
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
    DescriptorHidrawNodeSource* source = nullptr;
    std::unique_ptr<SocketPairDevice> device;
    std::unique_ptr<HidrawHidService> service;
    std::vector<HidDeviceRef> removed;
};

TEST(HidrawHidServiceTest, ReportsCrossWholeAndOnceEachUntilTheDeviceIsClosed) {
    Rig r;
    r.source->setOpenError(loader.devnode, -EACCES);
    const HidDeviceRef ref = r.onlyDevice();
    EXPECT_EQ(r.service->openDevice(ref), -EACCES);
    r.source->setOpenError(loader.devnode, std::nullopt);
    ASSERT_EQ(r.service->openDevice(ref), 0);
    std::vector<QByteArray> received;
    r.service->setInputReportCallback(ref, [&](int32_t result, const QByteArray& bytes) {
        EXPECT_EQ(result, 0);
        received.push_back(bytes);
    });
    ASSERT_EQ(r.service->setOutputReport(ref, QByteArray(64, 'A')), 0);
    EXPECT_EQ(r.device->receive(), QByteArray(1, '\0') + QByteArray(64, 'A')); // report id 0 first
    r.device->send(QByteArray(64, 'B'));
    r.device->send(QByteArray(10, 'C'));
    ASSERT_TRUE(runEventLoopUntil([&] { return received.size() >= 2; }));
    runEventLoopFor();
    EXPECT_EQ(received,
              (std::vector<QByteArray>{QByteArray(64, 'B'), QByteArray(10, 'C')})); // unpadded
    ASSERT_EQ(r.service->closeDevice(ref), 0);
    EXPECT_EQ(r.service->setOutputReport(ref, QByteArray(64, 0)), -EBADF);
}

// However it goes (how, announced, which path noticed it), a device is reported once, from the
// event loop, and refuses everything after.
TEST(HidrawHidServiceTest, AGoneDeviceIsReportedOnceLaterAndStaysGone) {
    enum How { HangUp, HangUpUnread, WriteAfterHangUp, Remove };
    const std::tuple<How, bool, const char*> rows[] = {
        {HangUp, true, "read (end of file)"},
        {HangUpUnread, true, "read /dev/hidraw3: Connection reset"}, // a report left unread
        {WriteAfterHangUp, true, "write /dev/hidraw3: Broken pipe"}, // the write notices first
        {Remove, true, ""},
        {Remove, false, ""}, // found by rescanning
    };
    for (const auto& [how, announces, reason] : rows) {
        SCOPED_TRACE(2 * how + announces);
        Rig r;
        r.source->setAnnounces(announces);
        ASSERT_EQ(r.service->open(), 0);
        const HidDeviceRef ref = r.onlyDevice();
        ASSERT_EQ(r.service->openDevice(ref), 0);
        if (how == HangUpUnread)
            r.service->setOutputReport(ref, QByteArray(64, 0));
        how == Remove ? r.source->removeNode(loader.devnode) : r.device->hangUp();
        if (how == WriteAfterHangUp)
            r.service->setOutputReport(ref, QByteArray(64, 0));
        EXPECT_TRUE(r.removed.empty());
        ASSERT_TRUE(runEventLoopUntil([&] { return !r.removed.empty(); }));
        runEventLoopFor();
        EXPECT_EQ(r.removed, std::vector<HidDeviceRef>{ref});
        EXPECT_EQ(r.service->lastErrorReason(ref).left(qstrlen(reason)), reason);
        EXPECT_EQ(r.service->setOutputReport(ref, QByteArray(64, 0)), -ENODEV);
        EXPECT_EQ(r.service->openDevice(ref), -ENODEV);
        EXPECT_EQ(r.service->deviceProperty(ref, "ProductID"), 0x0002); // still says who it was
        EXPECT_TRUE(r.service->copyDevices().empty());
    }
}

TEST(HidrawHidServiceTest, MatchingDecidesTheCopiesAndTheRemovalsAndDestroyingEndsEverything) {
    Rig r;
    SocketPairDevice other(*r.source, application);
    std::vector<HidDeviceRef> arrived;
    r.service->setArrivalCallback([&](const HidDeviceRef& ref) { arrived.push_back(ref); });
    ASSERT_EQ(r.service->open(), 0);
    r.service->setDeviceMatching({{0x1209, 0x0002}});
    const HidDeviceRef before = r.onlyDevice();
    ASSERT_TRUE(before);
    EXPECT_EQ(r.onlyDevice(), before);         // one reference per attached device
    r.source->removeNode(application.devnode); // not matching: nobody hears of it
    r.source->removeNode(loader.devnode);
    ASSERT_TRUE(runEventLoopUntil([&] { return !r.removed.empty(); }));
    runEventLoopFor();
    EXPECT_EQ(r.removed, std::vector<HidDeviceRef>{before});
    EXPECT_TRUE(arrived.empty()); // attached before open(): for the copies to find

    // Plugged in again: announced whatever the matching, as the device copies will list it.
    r.service->setDeviceMatching({{0x1209, 0x0001}});
    SocketPairDevice replugged(*r.source, loader);
    ASSERT_TRUE(runEventLoopUntil([&] { return !arrived.empty(); }));
    r.service->setDeviceMatching({{0x1209, 0x0002}});
    const HidDeviceRef after = r.onlyDevice();
    EXPECT_TRUE(after && after != before);
    EXPECT_EQ(arrived, std::vector<HidDeviceRef>{after});

    // Destroyed with an arrival pending and a device held open: neither outlives the service.
    ASSERT_EQ(r.service->openDevice(after), 0);
    SocketPairDevice third(*r.source, application);
    r.service.reset();
    runEventLoopFor();
    EXPECT_EQ(arrived.size(), 1u);
    EXPECT_FALSE(std::dynamic_pointer_cast<HidrawDevice>(after)->isOpen());
}

// A stalled hidraw output endpoint (EPIPE) fails one write; only on a socket is it a hang-up.
TEST(HidrawDeviceTest, WhichWriteErrorsMeanTheDeviceHasGone) {
    for (int error : {ENODEV, ECONNRESET, ENOTCONN, ESHUTDOWN, ENXIO})
        EXPECT_TRUE(HidrawDevice::meansGone(error, false)) << error;
    EXPECT_FALSE(HidrawDevice::meansGone(EIO, true) || HidrawDevice::meansGone(EPIPE, false));
    EXPECT_TRUE(HidrawDevice::meansGone(EPIPE, true));
}

TEST(UdevHidIdTest, ReadsThreeHexFieldsOfEitherCaseAndRefusesAnythingElse) {
    const std::optional<UdevHidId> id = UdevHidId::parse("0003:0000aAfF:000009c9");
    ASSERT_TRUE(id);
    EXPECT_EQ(std::tuple(id->bus, id->vendorId, id->productId),
              std::tuple(3u, int64_t{0xAAFF}, int64_t{0x09C9}));
    for (const char* text : {"", "0003:00001209", "0003:00001209:", "0003:00001209:00000002:",
                             "0003:0000120G:00000002", "0003:100001209:00000002",
                             "0003:00001209:0000 002", "0003:-0001209:00000002"})
        EXPECT_FALSE(UdevHidId::parse(text)) << text;
}
} // namespace
