#include "device/USBHidManager.h"
#include "EventLoopWaiting.h"
#include "sim/SimulatedHidService.h"
#include "support/ScopedDiagnosticCapture.h"

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

    static void deliverPending() {
        runEventLoopUntil([] { return false; }, milliseconds{30});
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
    deliverPending();
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
    deliverPending();
    EXPECT_TRUE(delegate->removed.empty()) << "a manager that is gone passed on a removal";
}

TEST(USBHidManagerCheckPackNoTest, ReadsBytesFourToSixLittleEndianAndNeverBeyondTheReply) {
    const std::tuple<QByteArray, int64_t, bool> rows[] = {
        {QByteArray("\0\0\0\0\x03\0\0", 7), 3, true},
        {QByteArray("\0\0\0\0\x03\0\x01", 7), 3, false},
        {QByteArray("\0\0\0\0\x03\0\x01", 7), 65536 + 3, true},
        {QByteArray("\0\0\0\0\x03\x02\0", 7), 0x0203, true},
        {QByteArray("\0\0\0\0\xFF\xFF\xFF", 7), 16777215, true},
        {QByteArray(6, '\0'), 0, false}, // too short to carry the field
    };
    for (const auto& [reply, packNo, matches] : rows)
        EXPECT_EQ(USBHidManager::checkPackNo(packNo, reply), matches)
            << reply.toHex().toStdString();
}

// No acceptable reply: the exchange fails at its deadline with the counter advanced once.
TEST_F(USBHidManagerTest, ExchangeFailsOnEveryReportButTheReplyCarryingTheNextNumber) {
    const struct {
        bool ownNumber; // the converter answers with the request's own number, else not at all
        std::vector<char> pendingBefore; // delivered before the call
        std::vector<char> inFirstSlice;  // delivered together right after the request
    } rows[] = {{true, {}, {}}, {false, {}, {}}, {false, {1}, {}}, {false, {}, {1, 9}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pendingBefore.size() + 2 * row.inFirstSlice.size() + 8 * row.ownNumber);
        VirtualConverter::Faults faults;
        (row.ownNumber ? faults.wrongPackNoAtPackNo : faults.noReplyFromPackNo) = 0;
        converter->setFaults(faults);
        for (char number : row.pendingBefore)
            service.injectInputReport(device, replyCarrying(number));
        deliverPending();
        for (char number : row.inFirstSlice)
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
    SimulatedDeviceFaults slow;
    slow.replyDelay = milliseconds{120};
    service.setDeviceFaults(device, slow);
    int64_t packNo = 0;
    EXPECT_TRUE(exchange(packNo));
    EXPECT_EQ(packNo, 2);

    VirtualConverter::Faults ownNumber;
    ownNumber.wrongPackNoAtPackNo = 2;
    converter->setFaults(ownNumber);
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
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->mid(4, 3), QByteArray("\x01\x00\x00", 3));
    EXPECT_EQ(packNo, 2);
    EXPECT_FALSE(second);
    EXPECT_EQ(secondPackNo, 10);
    EXPECT_EQ(service.writtenReports(device), std::vector<QByteArray>{syncRequest});
    EXPECT_EQ(log.lines().first(), "[UsbHidManager][127][sendAndReceiveReport(_:_:data:)]");
    EXPECT_TRUE(log.contains("[UsbHidManager][129][sendAndReceiveReport(_:_:data:)] ❌ refused: "
                             "another exchange is still waiting for its reply"));
    EXPECT_TRUE(
        log.contains("[UsbHidManager][167][checkPackNo(packNo:data:)] packNo: 1, data: 64 bytes"));

    SimulatedDeviceFaults failing; // a rejected send leaves the counter
    failing.writeError = -EIO;
    service.setDeviceFaults(device, failing);
    EXPECT_FALSE(exchange(packNo));
    EXPECT_EQ(packNo, 2);
    EXPECT_EQ(log.lines().last(),
              "[UsbHidManager][136][sendAndReceiveReport(_:_:data:)] ❌ 發送 HID 資料失敗: -5");
}
} // namespace
