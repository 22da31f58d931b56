#include "device/USBHidManager.h"
#include "EventLoopWaiting.h"
#include "ScopedDiagnosticCapture.h"
#include "sim/SimulatedHidService.h"

#include <QTimer>
#include <cerrno>
#include <gtest/gtest.h>

namespace {
using std::chrono::milliseconds;

QByteArray replyCarrying(char packNo) {
    return QByteArray(4, '\0') + packNo + QByteArray(59, '\0');
}

// A syncPackNo request with counter 0, which the virtual converter answers with number 1.
const QByteArray syncRequest = QByteArray(1, '\xA4') + QByteArray(63, '\0');

struct RecordingDelegate : HIDManagerDelegate {
    void hidDeviceRemoved(const HidDeviceRef& device) override { removed.push_back(device); }
    std::vector<HidDeviceRef> removed;
};

// A manager listening to one virtual converter, with a short deadline for failing exchanges.
class USBHidManagerTest : public ::testing::Test {
protected:
    USBHidManagerTest() { createManager(); }

    void createManager(ReportExchangeTiming timing = {milliseconds{300}, milliseconds{50}}) {
        manager = std::make_unique<USBHidManager>(
            service, std::vector{SimulatedHidService::loaderIdentity}, delegate, timing);
        EXPECT_EQ(service.openDevice(device), 0);
        manager->setupReportCallback(device);
    }

    std::optional<QByteArray> exchange(int64_t& packNo) {
        return manager->sendAndReceiveReport(device, packNo, syncRequest);
    }

    SimulatedHidService service;
    std::shared_ptr<VirtualConverter> converter = std::make_shared<VirtualConverter>();
    HidDeviceRef device = service.plugIn(converter);
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::unique_ptr<USBHidManager> manager;
};

TEST_F(USBHidManagerTest, KeepsOnlyTheLatestSuccessfulReportAndLogsEveryOutcome) {
    service.injectInputReport(device, replyCarrying(1));
    service.injectInputReport(device, QByteArray("\x01\xAB", 2));
    service.injectInputReport(device, replyCarrying(3), -EIO);
    ScopedDiagnosticCapture log;
    runEventLoopFor();
    EXPECT_EQ(manager->receivedReport(), QByteArray("\x01\xAB", 2)); // unpadded
    EXPECT_TRUE(log.lines().first().endsWith("{name = main}]"));     // the thread that delivered it
    EXPECT_TRUE(
        log.contains("[UsbHidManager][79][handleReceivedReport(_:)] ✅ 收到 HID 資料: 01 AB"));
    log.clear();
    createManager();
    service.setOpenResult(-EACCES);
    createManager(); // a failed open is only logged
    manager->closeUsbDevice(device);
    EXPECT_FALSE(manager->sendReport(device, syncRequest)); // closed: -EBADF
    service.unplug(device);
    manager->closeUsbDevice(device);
    EXPECT_EQ(log.lines(),
              (QStringList{"[UsbHidManager][33][setupHIDManager()] 👍 開啟 HID Manager 成功: 0",
                           "[UsbHidManager][31][setupHIDManager()] ❌ 開啟 HID Manager 失敗: -13",
                           "[UsbHidManager][97][closeUsbDevice(_:)] true",
                           "[UsbHidManager][118][sendReport(_:data:)] ❌ 發送 HID 資料失敗: -9",
                           "[UsbHidManager][97][closeUsbDevice(_:)] false"}));

    const HidDeviceRef second = service.plugIn(converter);
    manager.reset();
    service.unplug(second);
    runEventLoopFor();
    EXPECT_TRUE(delegate->removed.empty()) << "a manager that is gone passed on a removal";
}

TEST(USBHidManagerCheckPackNoTest, ReadsBytesFourToSixLittleEndianAndNeverBeyondTheReply) {
    const std::tuple<const char*, int64_t, bool> rows[] = {{"\x03\0\x01", 3, false},
                                                           {"\x03\0\x01", 65536 + 3, true},
                                                           {"\x03\x02\0", 0x0203, true},
                                                           {"\xFF\xFF\xFF", 16777215, true}};
    for (const auto& [bytes4to6, packNo, matches] : rows)
        EXPECT_EQ(USBHidManager::checkPackNo(packNo, QByteArray(4, 0) + QByteArray(bytes4to6, 3)),
                  matches)
            << packNo;
    EXPECT_FALSE(USBHidManager::checkPackNo(0, QByteArray(6, 0))); // too short to carry the field
}

// No acceptable reply: the exchange fails at its deadline with the counter advanced once. Rows:
// the converter answers with the request's own number (else not at all), replies pending before
// the call, replies delivered together right after the request.
TEST_F(USBHidManagerTest, ExchangeFailsOnEveryReportButTheReplyCarryingTheNextNumber) {
    const std::tuple<bool, std::vector<char>, std::vector<char>> rows[] = {
        {true, {}, {}}, {false, {}, {}}, {false, {1}, {}}, {false, {}, {1, 9}}};
    for (const auto& [ownNumber, pendingBefore, inFirstSlice] : rows) {
        SCOPED_TRACE(pendingBefore.size() + 2 * inFirstSlice.size() + 8 * ownNumber);
        VirtualConverter::Faults faults;
        (ownNumber ? faults.wrongPackNoAtPackNo : faults.noReplyFromPackNo) = 0;
        converter->setFaults(faults);
        for (char number : pendingBefore)
            service.injectInputReport(device, replyCarrying(number));
        runEventLoopFor();
        for (char number : inFirstSlice)
            service.injectInputReport(device, replyCarrying(number));
        int64_t packNo = 0;
        EXPECT_FALSE(exchange(packNo));
        EXPECT_EQ(packNo, 1);
        EXPECT_FALSE(manager->receivedReport());
    }
}

// A report still pending at the deadline counts only if it carries the expected number.
TEST_F(USBHidManagerTest, ExchangeJudgesAReportDeliveredInTheLastSliceByItsNumber) {
    // The first slice outlasts the deadline; the reply lands in it, after the deadline.
    createManager({milliseconds{40}, milliseconds{2000}});
    service.setDeviceFaults(device, {.replyDelay = milliseconds{120}});
    int64_t packNo = 0;
    EXPECT_TRUE(exchange(packNo));
    EXPECT_EQ(packNo, 2);

    converter->setFaults({.wrongPackNoAtPackNo = 2});
    EXPECT_FALSE(exchange(packNo));
    EXPECT_EQ(packNo, 3);
    EXPECT_FALSE(manager->receivedReport());
}

TEST_F(USBHidManagerTest, ASecondExchangeStartedInsideAWaitIsRefusedAndTheFirstGetsItsReply) {
    int64_t secondPackNo = 10;
    std::optional<QByteArray> second = QByteArray("never started");
    QTimer::singleShot(0, [&] { second = exchange(secondPackNo); });
    ScopedDiagnosticCapture log;
    int64_t packNo = 0;
    const std::optional<QByteArray> reply = exchange(packNo);
    EXPECT_EQ(std::tuple(reply.value_or("").mid(4, 3), packNo, second, secondPackNo),
              std::tuple(QByteArray("\x01\0\0", 3), 2, std::nullopt, 10));
    EXPECT_EQ(service.writtenReports(device), std::vector<QByteArray>{syncRequest});
    EXPECT_EQ(log.lines().first(), "[UsbHidManager][127][sendAndReceiveReport(_:_:data:)]");
    EXPECT_TRUE(log.contains("[UsbHidManager][129][sendAndReceiveReport(_:_:data:)] ❌ refused: "
                             "another exchange is still waiting for its reply"));
    EXPECT_TRUE(
        log.contains("[UsbHidManager][167][checkPackNo(packNo:data:)] packNo: 1, data: 64 bytes"));

    service.setDeviceFaults(device, {.writeError = -EIO}); // a rejected send leaves the counter
    EXPECT_FALSE(exchange(packNo));
    EXPECT_EQ(packNo, 2);
    EXPECT_EQ(log.lines().last(),
              "[UsbHidManager][136][sendAndReceiveReport(_:_:data:)] ❌ 發送 HID 資料失敗: -5");
}

TEST(MainLoopWaitTest, ReturnsOnceAnEventWasHandledOrAtTheLimitWhenNothingHappens) {
    MainLoopWait wait;
    QObject context;
    bool soon = false, late = false;
    QTimer::singleShot(std::chrono::milliseconds{10}, &context, [&] { soon = true; });
    QTimer::singleShot(std::chrono::hours{1}, &context, [&] { late = true; });
    // Other sources may wake a turn first; a wait that ran to its limit would hang for an hour.
    for (int turn = 0; turn < 100 && !soon; ++turn)
        wait.runOnce(std::chrono::hours{1});
    EXPECT_TRUE(soon);
    wait.runOnce(std::chrono::milliseconds{20});
    EXPECT_FALSE(late);
}
} // namespace
