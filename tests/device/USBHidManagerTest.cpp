#include "device/USBHidManager.h"
#include "EventLoopWaiting.h"
#include "sim/SimulatedHidService.h"
#include "support/ScopedDiagnosticCapture.h"

#include <QCoreApplication>
#include <cerrno>
#include <gtest/gtest.h>

namespace {
using std::chrono::milliseconds;

constexpr DeviceMatching applicationMode{0x1209, 0x0001};
constexpr DeviceMatching loaderMode{0x1209, 0x0002};

QByteArray replyCarrying(int64_t packNo, int size = 64) {
    QByteArray reply(size, '\0');
    for (int i = 0; i < 3 && 4 + i < size; ++i)
        reply[4 + i] = static_cast<char>((packNo >> (8 * i)) & 0xFF);
    return reply;
}

// A syncPackNo request with counter 0, which the virtual converter answers with number 1.
QByteArray syncRequest() {
    QByteArray request(64, '\0');
    request[0] = static_cast<char>(0xA4);
    return request;
}

VirtualConverter::Faults neverReply() {
    VirtualConverter::Faults faults;
    faults.neverReply = true;
    return faults;
}

VirtualConverter::Faults wrongPackNoAt(int64_t packNo) {
    VirtualConverter::Faults faults;
    faults.wrongPackNoAtPackNo = packNo;
    return faults;
}

struct RecordingDelegate : HIDManagerDelegate {
    void hidDeviceRemoved(const HidDeviceRef& device) override { removed.push_back(device); }
    std::vector<HidDeviceRef> removed;
};

class USBHidManagerTest : public ::testing::Test {
protected:
    USBHidManagerTest() {
        converter = std::make_shared<VirtualConverter>();
        device = service.plugIn(converter);
    }

    void createManager(std::vector<DeviceMatching> matching = {loaderMode},
                       ReportExchangeTiming timing = {milliseconds{300}, milliseconds{50}}) {
        manager = std::make_unique<USBHidManager>(service, std::move(matching), delegate, timing);
    }

    // The device opened and listened to, as every command prepares it.
    void listen() {
        ASSERT_EQ(service.openDevice(device), 0);
        manager->setupReportCallback(device);
    }

    void deliverPending() {
        runEventLoopUntil([] { return false; }, milliseconds{30});
    }

    SimulatedHidService service;
    std::shared_ptr<VirtualConverter> converter;
    HidDeviceRef device;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::unique_ptr<USBHidManager> manager;
};

TEST_F(USBHidManagerTest, SetUpInstallsTheMatchingListAndLogsTheOpenResult) {
    const HidDeviceRef application = service.plugIn(converter, applicationMode);
    service.plugInUnrelatedDevice({0x046D, 0xC52B});
    {
        ScopedDiagnosticCapture log;
        createManager({applicationMode, loaderMode});
        EXPECT_EQ(log.lines(), QStringList{"[UsbHidManager][33][setupHIDManager()] 👍 開啟 HID "
                                           "Manager 成功: 0"});
    }
    EXPECT_EQ(service.copyDevices(), (std::vector<HidDeviceRef>{device, application}));

    // A failed open is only logged; matching and removal still work.
    service.setOpenResult(-EACCES);
    ScopedDiagnosticCapture log;
    createManager({loaderMode});
    EXPECT_EQ(log.lines(),
              QStringList{"[UsbHidManager][31][setupHIDManager()] ❌ 開啟 HID Manager 失敗: -13"});
    EXPECT_EQ(service.copyDevices(), std::vector<HidDeviceRef>{device});
    service.unplug(device);
    ASSERT_TRUE(runEventLoopUntil([this] { return !delegate->removed.empty(); }));
    EXPECT_EQ(delegate->removed, std::vector<HidDeviceRef>{device});
}

TEST_F(USBHidManagerTest, KeepsOnlyTheLatestReportExactlyAsDeliveredAndIgnoresFailedOnes) {
    createManager();
    listen();
    service.injectInputReport(device, replyCarrying(1));
    service.injectInputReport(device, replyCarrying(2));
    deliverPending();
    EXPECT_EQ(manager->receivedReport(), replyCarrying(2));

    service.injectInputReport(device, replyCarrying(3), -EIO);
    deliverPending();
    EXPECT_EQ(manager->receivedReport(), replyCarrying(2));

    service.injectInputReport(device, QByteArray("\x01\xAB", 2));
    deliverPending();
    EXPECT_EQ(manager->receivedReport(), QByteArray("\x01\xAB", 2)); // not padded
}

TEST_F(USBHidManagerTest, LogsEachReportWithItsThreadAndItsBytes) {
    createManager();
    listen();
    ScopedDiagnosticCapture log;
    service.injectInputReport(device, QByteArray("\x01\xAB", 2));
    deliverPending();
    ASSERT_EQ(log.lines().size(), 2);
    EXPECT_TRUE(
        log.lines()[0].startsWith("[UsbHidManager][setupReportCallback(device:)][<QThread"));
    EXPECT_TRUE(log.lines()[0].endsWith("{name = main}]"));
    EXPECT_EQ(log.lines()[1],
              "[UsbHidManager][79][handleReceivedReport(_:)] ✅ 收到 HID 資料: 01 AB");
}

TEST_F(USBHidManagerTest, RemovalReachesTheDelegateOnlyWhileItLives) {
    createManager();
    service.unplug(device);
    ASSERT_TRUE(runEventLoopUntil([this] { return !delegate->removed.empty(); }));
    EXPECT_EQ(delegate->removed, std::vector<HidDeviceRef>{device});

    const HidDeviceRef second = service.plugIn(converter);
    std::weak_ptr<RecordingDelegate> gone = delegate;
    delegate.reset();
    ASSERT_TRUE(gone.expired());
    service.unplug(second);
    deliverPending(); // nothing to call, nothing to crash
}

TEST_F(USBHidManagerTest, NothingArrivesAtAManagerThatIsGone) {
    createManager();
    listen();
    service.injectInputReport(device, replyCarrying(1));
    manager.reset();
    service.unplug(device);
    deliverPending();
    EXPECT_TRUE(delegate->removed.empty());
}

TEST_F(USBHidManagerTest, CloseAndSendLogTheirOutcome) {
    createManager();
    listen();
    ScopedDiagnosticCapture log;
    manager->closeUsbDevice(device);
    EXPECT_FALSE(service.isOpen(device));
    EXPECT_FALSE(manager->sendReport(device, syncRequest())); // closed: -EBADF
    service.unplug(device);
    manager->closeUsbDevice(device);
    EXPECT_EQ(log.lines(),
              (QStringList{"[UsbHidManager][97][closeUsbDevice(_:)] true",
                           "[UsbHidManager][118][sendReport(_:data:)] ❌ 發送 HID 資料失敗: -9",
                           "[UsbHidManager][97][closeUsbDevice(_:)] false"}));
}

TEST(USBHidManagerCheckPackNoTest, ReadsBytesFourToSixAsOneLittleEndianNumber) {
    QByteArray reply(64, '\0');
    reply[4] = 3;
    EXPECT_TRUE(USBHidManager::checkPackNo(3, reply));
    reply[6] = 1;
    EXPECT_FALSE(USBHidManager::checkPackNo(3, reply));
    EXPECT_TRUE(USBHidManager::checkPackNo(65536 + 3, reply));

    reply[4] = reply[5] = reply[6] = static_cast<char>(0xFF);
    EXPECT_TRUE(USBHidManager::checkPackNo(16777215, reply));
    EXPECT_FALSE(USBHidManager::checkPackNo(16777216 + 16777215, reply));
    EXPECT_FALSE(USBHidManager::checkPackNo(-1, reply));

    // Too short to carry the field: no match, and nothing read beyond the end.
    ScopedDiagnosticCapture log;
    EXPECT_FALSE(USBHidManager::checkPackNo(0, QByteArray(6, '\0')));
    EXPECT_TRUE(USBHidManager::checkPackNo(0, QByteArray(7, '\0')));
    EXPECT_EQ(log.lines().first(),
              "[UsbHidManager][167][checkPackNo(packNo:data:)] packNo: 0, data: 6 bytes");
}

// The exchange, against the virtual converter (which answers number n with n + 1).
class ReportExchangeTest : public USBHidManagerTest {
protected:
    ReportExchangeTest() {
        createManager();
        listen();
    }

    QStringList packNoChecks(const ScopedDiagnosticCapture& log) const {
        return log.lines().filter("[checkPackNo(packNo:data:)]");
    }
};

TEST_F(ReportExchangeTest, AcceptsTheReplyCarryingTheNextNumberAndAdvancesByTwo) {
    ScopedDiagnosticCapture log;
    int64_t packNo = 0;
    const std::optional<QByteArray> reply =
        manager->sendAndReceiveReport(device, packNo, syncRequest());
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->mid(4, 3), QByteArray("\x01\x00\x00", 3));
    EXPECT_EQ(packNo, 2);
    EXPECT_EQ(manager->receivedReport(), reply);
    EXPECT_EQ(service.writtenReports(device), std::vector<QByteArray>{syncRequest()});
    EXPECT_EQ(log.lines().first(), "[UsbHidManager][127][sendAndReceiveReport(_:_:data:)]");
    EXPECT_EQ(
        packNoChecks(log),
        QStringList{"[UsbHidManager][167][checkPackNo(packNo:data:)] packNo: 1, data: 64 bytes"});
}

TEST_F(ReportExchangeTest, RejectsAReplyCarryingTheRequestsOwnNumber) {
    converter->setFaults(wrongPackNoAt(0));
    int64_t packNo = 0;
    EXPECT_FALSE(manager->sendAndReceiveReport(device, packNo, syncRequest()));
    EXPECT_EQ(packNo, 1);
    EXPECT_FALSE(manager->receivedReport());
}

TEST_F(ReportExchangeTest, NoReplyAtAllFailsAfterTheDeadlineWithOneStep) {
    converter->setFaults(neverReply());
    ScopedDiagnosticCapture log;
    int64_t packNo = 0;
    EXPECT_FALSE(manager->sendAndReceiveReport(device, packNo, syncRequest()));
    EXPECT_EQ(packNo, 1);
    EXPECT_TRUE(packNoChecks(log).isEmpty());
}

TEST_F(ReportExchangeTest, DropsAReportPendingBeforeTheCall) {
    // It even carries the number the reply must carry: it still is not the reply.
    service.injectInputReport(device, replyCarrying(1));
    deliverPending();
    ASSERT_TRUE(manager->receivedReport());
    converter->setFaults(neverReply());
    int64_t packNo = 0;
    EXPECT_FALSE(manager->sendAndReceiveReport(device, packNo, syncRequest()));
    EXPECT_EQ(packNo, 1);
}

TEST_F(ReportExchangeTest, ExaminesOnlyTheLaterOfTwoReportsInOneSlice) {
    // Both are delivered in the first turn of the loop after the request went out.
    converter->setFaults(neverReply());
    service.injectInputReport(device, replyCarrying(1));
    service.injectInputReport(device, replyCarrying(9));
    ScopedDiagnosticCapture log;
    int64_t packNo = 0;
    EXPECT_FALSE(manager->sendAndReceiveReport(device, packNo, syncRequest()));
    EXPECT_EQ(packNo, 1);
    EXPECT_EQ(
        packNoChecks(log),
        QStringList{"[UsbHidManager][167][checkPackNo(packNo:data:)] packNo: 1, data: 64 bytes"});

    converter->setFaults({});
    service.injectInputReport(device, replyCarrying(9)); // the converter's reply comes later
    packNo = 0;
    EXPECT_TRUE(manager->sendAndReceiveReport(device, packNo, syncRequest()));
    EXPECT_EQ(packNo, 2);
}

TEST_F(ReportExchangeTest, AReportDeliveredInTheLastSliceIsJudgedByItsNumber) {
    // The first slice outlasts the deadline; the reply lands in it, after the deadline.
    createManager({loaderMode}, {milliseconds{40}, milliseconds{2000}});
    listen();
    SimulatedDeviceFaults slow;
    slow.replyDelay = milliseconds{120};
    service.setDeviceFaults(device, slow);
    int64_t packNo = 0;
    const std::optional<QByteArray> reply =
        manager->sendAndReceiveReport(device, packNo, syncRequest());
    ASSERT_TRUE(reply);
    EXPECT_EQ(packNo, 2);

    converter->setFaults(wrongPackNoAt(2));
    EXPECT_FALSE(manager->sendAndReceiveReport(device, packNo, syncRequest()));
    EXPECT_EQ(packNo, 3);
    EXPECT_FALSE(manager->receivedReport());
}

TEST_F(ReportExchangeTest, ARejectedSendLeavesTheCounter) {
    SimulatedDeviceFaults failing;
    failing.writeError = -EIO;
    service.setDeviceFaults(device, failing);
    ScopedDiagnosticCapture log;
    int64_t packNo = 4;
    EXPECT_FALSE(manager->sendAndReceiveReport(device, packNo, syncRequest()));
    EXPECT_EQ(packNo, 4);
    EXPECT_EQ(log.lines(),
              (QStringList{"[UsbHidManager][127][sendAndReceiveReport(_:_:data:)]",
                           "[UsbHidManager][136][sendAndReceiveReport(_:_:data:)] ❌ 發送 HID "
                           "資料失敗: -5"}));
}

TEST_F(ReportExchangeTest, TimersAndOtherEventsRunWhileWaiting) {
    converter->setFaults(neverReply());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(milliseconds{20});
    int64_t packNo = 0;
    manager->sendAndReceiveReport(device, packNo, syncRequest());
    EXPECT_GE(ticks, 3);
}
} // namespace
