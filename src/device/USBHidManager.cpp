#include "device/USBHidManager.h"

#include "support/DiagnosticLog.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <chrono>

namespace {
constexpr QStringView logClass = u"UsbHidManager";

// Which thread delivered a report: the one fact the report-callback line exists to show.
QString currentThreadDescription() {
    QThread* thread = QThread::currentThread();
    QString name = thread->objectName();
    if (name.isEmpty() && QCoreApplication::instance() &&
        thread == QCoreApplication::instance()->thread())
        name = QStringLiteral("main");
    return QStringLiteral("<QThread: 0x%1>{name = %2}")
        .arg(reinterpret_cast<quintptr>(thread), 0, 16)
        .arg(name.isEmpty() ? QStringLiteral("(null)") : name);
}
} // namespace

USBHidManager::USBHidManager(HidService& manager, std::vector<DeviceMatching> deviceMatchingList,
                             std::weak_ptr<HIDManagerDelegate> delegate,
                             ReportExchangeTiming timing)
    : manager_(manager), deviceMatchingList_(std::move(deviceMatchingList)),
      delegate_(std::move(delegate)), timing_(timing),
      context_(std::make_shared<USBHidManager*>(this)) {
    const int32_t result = manager_.open();
    if (result != 0)
        DiagnosticLog::write(logClass, 31, u"setupHIDManager()",
                             QStringLiteral(" ❌ 開啟 HID Manager 失敗: %1").arg(result));
    else
        DiagnosticLog::write(logClass, 33, u"setupHIDManager()",
                             QStringLiteral(" 👍 開啟 HID Manager 成功: 0"));

    // A failed open is only logged: the matching and the device watch are installed anyway, so
    // whatever the service can still see keeps working.
    manager_.setDeviceMatching(deviceMatchingList_);
    std::weak_ptr<USBHidManager*> context = context_;
    manager_.setRemovalCallback([context](const HidDeviceRef& device) {
        if (const auto self = context.lock())
            (*self)->deviceRemovalCallback(device);
    });
    manager_.setArrivalCallback([context](const HidDeviceRef& device) {
        if (const auto self = context.lock())
            if (const std::shared_ptr<HIDManagerDelegate> delegate = (*self)->delegate_.lock())
                delegate->hidDeviceArrived(device);
    });
}

void USBHidManager::deviceRemovalCallback(const HidDeviceRef& device) {
    // Noted before the delegate hears of it, so that an exchange waiting on the device gives up
    // as soon as the event loop hands control back to it, whatever the delegate does meanwhile.
    if (device && device == awaitedDevice_)
        awaitedDeviceRemoved_ = true;
    std::erase_if(removedDevices_,
                  [](const std::weak_ptr<HidDevice>& gone) { return gone.expired(); });
    removedDevices_.push_back(device);
    if (const std::shared_ptr<HIDManagerDelegate> delegate = delegate_.lock())
        delegate->hidDeviceRemoved(device);
}

bool USBHidManager::isRemoved(const HidDeviceRef& device) const {
    return device && std::ranges::any_of(removedDevices_, [&device](const auto& gone) {
               return gone.lock() == device;
           });
}

void USBHidManager::setupReportCallback(const HidDeviceRef& device) {
    std::weak_ptr<USBHidManager*> context = context_;
    manager_.setInputReportCallback(device, [context](int32_t result, const QByteArray& report) {
        // Reports arrive on one thread; describing it once is enough.
        thread_local const QString line =
            QStringLiteral("[UsbHidManager][setupReportCallback(device:)][")
                .append(currentThreadDescription())
                .append(u']');
        DiagnosticLog::write(line);
        const auto self = context.lock();
        if (!self || result != 0)
            return;
        // Composed only when the lines are on: this runs on every exchange.
        if (velmarDiagnostics().isDebugEnabled())
            DiagnosticLog::write(logClass, 79, u"handleReceivedReport(_:)",
                                 QStringLiteral(" ✅ 收到 HID 資料: ")
                                     .append(QString::fromLatin1(report.toHex(' ').toUpper())));
        (*self)->receivedReport_ = report;
    });
}

void USBHidManager::closeUsbDevice(const HidDeviceRef& device) {
    const int32_t result = manager_.closeDevice(device);
    DiagnosticLog::write(logClass, 97, u"closeUsbDevice(_:)",
                         result == 0 ? QStringView(u" true") : QStringView(u" false"));
}

bool USBHidManager::sendReport(const HidDeviceRef& device, const QByteArray& data) {
    const int32_t result = manager_.setOutputReport(device, data);
    if (result != 0)
        DiagnosticLog::write(logClass, 118, u"sendReport(_:data:)",
                             QStringLiteral(" ❌ 發送 HID 資料失敗: %1").arg(result));
    return result == 0;
}

std::optional<QByteArray> USBHidManager::sendAndReceiveReport(HidDeviceRef device, int64_t& packNo,
                                                              const QByteArray& data) {
    constexpr QStringView function = u"sendAndReceiveReport(_:_:data:)";
    DiagnosticLog::write(logClass, 127, function);
    if (stopped_ || awaitedDevice_) {
        if (!stopped_)
            DiagnosticLog::write(logClass, 129, function,
                                 u" ❌ refused: another exchange is still waiting for its reply");
        lastExchangeFailure_ = ExchangeFailure::Refused;
        return std::nullopt;
    }
    lastExchangeFailure_ = ExchangeFailure::None;

    // Whatever arrived before this request cannot be its reply.
    receivedReport_.reset();
    const int32_t result = manager_.setOutputReport(device, data);
    if (result != 0) {
        DiagnosticLog::write(logClass, 136, function,
                             QStringLiteral(" ❌ 發送 HID 資料失敗: %1").arg(result));
        // A converter pulled out often fails the next write before its removal is reported.
        lastExchangeFailure_ = result == -ENODEV || isRemoved(device)
                                   ? ExchangeFailure::Unplugged
                                   : ExchangeFailure::WriteFailed;
        return std::nullopt;
    }
    packNo += 1;

    awaitedDevice_ = device;
    awaitedDeviceRemoved_ = false;
    const auto waitOver = qScopeGuard([this] { awaitedDevice_.reset(); });
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timing_.deadline;
    bool otherReplies = false;
    for (;;) {
        // A report delivered during the last slice is judged like any other: returning it
        // unchecked would hand a stray or stale reply to the caller as the answer.
        if (receivedReport_ && checkPackNo(packNo, *receivedReport_)) {
            packNo += 1;
            return receivedReport_;
        }
        // A reply to some other request: drop it so that only newer reports are examined.
        otherReplies = otherReplies || receivedReport_.has_value();
        receivedReport_.reset();
        if (awaitedDeviceRemoved_ || stopped_ || Clock::now() >= deadline) {
            lastExchangeFailure_ = awaitedDeviceRemoved_ ? ExchangeFailure::Unplugged
                                   : otherReplies        ? ExchangeFailure::WrongPacketNumber
                                                         : ExchangeFailure::NoReply;
            return std::nullopt;
        }
        mainLoopWait_.runOnce(timing_.slice);
    }
}

bool USBHidManager::checkPackNo(int64_t packNo, const QByteArray& data) {
    if (velmarDiagnostics().isDebugEnabled())
        DiagnosticLog::write(
            logClass, 167, u"checkPackNo(packNo:data:)",
            QStringLiteral(" packNo: %1, data: %2 bytes").arg(packNo).arg(data.size()));
    if (data.size() < 7)
        return false;
    const auto byteAt = [&data](int index) { return int64_t{static_cast<uint8_t>(data[index])}; };
    return byteAt(4) + 256 * byteAt(5) + 65536 * byteAt(6) == packNo;
}
