#include "sim/SimulatedHidService.h"

#include "sim/SimulatedHidDevice.h"

#include <QTimer>
#include <cerrno>
#include <cstring>

namespace {

bool isDataPacket(const QByteArray& report) {
    if (report.size() != VirtualConverter::reportSize)
        return false;
    const auto command = static_cast<uint8_t>(report[0]);
    return command == VirtualConverter::firstDataCode ||
           command == VirtualConverter::continuationDataCode;
}

} // namespace

HidDeviceRef SimulatedHidService::plugIn(std::shared_ptr<VirtualConverter> converter,
                                         DeviceMatching identity, SimulatedDeviceFaults faults) {
    auto device =
        std::make_shared<SimulatedHidDevice>(this, identity, std::move(converter), faults);
    device->node = QStringLiteral("virtual-%1").arg(++pluggedIn_);
    attached_.push_back(device);
    if (!opened_)
        return device;
    std::weak_ptr<SimulatedHidDevice> weakDevice = device;
    QTimer::singleShot(0, &deliveries_, [this, weakDevice] {
        // Unplugged before the news went out: nothing to announce.
        const auto arrived = weakDevice.lock();
        const DeviceCallback callback = arrivalCallback_;
        if (arrived && arrived->attached && callback)
            callback(arrived);
    });
    return device;
}

HidDeviceRef SimulatedHidService::plugInUnrelatedDevice(DeviceMatching identity) {
    return plugIn(nullptr, identity);
}

void SimulatedHidService::unplug(const HidDeviceRef& device) {
    const std::shared_ptr<SimulatedHidDevice> simulated = own(device);
    if (!simulated || !simulated->attached)
        return;
    simulated->attached = false;
    simulated->open = false;
    std::erase(attached_, simulated);
    // The platform reports a removal only for devices its matching covers, judged as it happens.
    if (!matches(simulated->identity))
        return;
    QTimer::singleShot(0, &deliveries_, [this, simulated] {
        if (const DeviceCallback callback = removalCallback_)
            callback(simulated);
    });
}

void SimulatedHidService::setDeviceFaults(const HidDeviceRef& device,
                                          const SimulatedDeviceFaults& faults) {
    if (const auto simulated = own(device))
        simulated->faults = faults;
}

void SimulatedHidService::injectInputReport(const HidDeviceRef& device, const QByteArray& report,
                                            int32_t result, std::chrono::milliseconds delay) {
    if (const auto simulated = own(device))
        deliverLater(simulated, report, result, delay, false);
}

std::shared_ptr<VirtualConverter> SimulatedHidService::converter(const HidDeviceRef& device) const {
    const auto simulated = own(device);
    return simulated ? simulated->converter : nullptr;
}

bool SimulatedHidService::isAttached(const HidDeviceRef& device) const {
    const auto simulated = own(device);
    return simulated && simulated->attached;
}

bool SimulatedHidService::isOpen(const HidDeviceRef& device) const {
    const auto simulated = own(device);
    return simulated && simulated->open;
}

std::vector<QByteArray> SimulatedHidService::writtenReports(const HidDeviceRef& device) const {
    const auto simulated = own(device);
    return simulated ? simulated->written : std::vector<QByteArray>{};
}

int32_t SimulatedHidService::open() {
    opened_ = opened_ || openResult_ == 0;
    return openResult_;
}

std::vector<HidDeviceRef> SimulatedHidService::copyDevices() {
    std::vector<HidDeviceRef> devices;
    for (const auto& device : attached_)
        if (matches(device->identity))
            devices.push_back(device);
    return devices;
}

int32_t SimulatedHidService::openDevice(const HidDeviceRef& device) {
    const auto simulated = own(device);
    if (const int32_t refused = refusal(simulated.get(), "open"))
        return refused;
    if (simulated->faults.openError)
        return fail(*simulated, *simulated->faults.openError, "open");
    simulated->open = true;
    return 0;
}

int32_t SimulatedHidService::closeDevice(const HidDeviceRef& device) {
    const auto simulated = own(device);
    if (const int32_t refused = refusal(simulated.get(), "close"))
        return refused;
    simulated->open = false;
    return 0;
}

std::optional<DeviceMatching> SimulatedHidService::identityOf(const HidDeviceRef& device) const {
    const auto simulated = own(device);
    return simulated ? std::optional(simulated->identity) : std::nullopt;
}

int32_t SimulatedHidService::setOutputReport(const HidDeviceRef& device, const QByteArray& report) {
    const auto simulated = own(device);
    if (const int32_t refused = refusal(simulated.get(), "write to"))
        return refused;
    if (!simulated->open)
        return fail(*simulated, -EBADF, "write to");
    const SimulatedDeviceFaults& faults = simulated->faults;
    if (faults.writeError && simulated->writes >= faults.writesBeforeWriteError)
        return fail(*simulated, *faults.writeError, "write to");
    ++simulated->writes;
    simulated->written.push_back(report);
    if (!simulated->converter)
        return 0;

    const bool dataPacket = isDataPacket(report);
    if (dataPacket)
        ++simulated->dataPackets;
    const bool unplugWithoutReply =
        dataPacket && faults.unplugAwaitingDataPacket == simulated->dataPackets;
    const bool lastBeforeUnplug =
        unplugWithoutReply ||
        (dataPacket && faults.unplugAfterDataPackets == simulated->dataPackets);
    std::optional<QByteArray> reply = simulated->converter->handleOutputReport(report);
    if (unplugWithoutReply)
        reply.reset();
    if (reply && faults.replyLength)
        reply->truncate(*faults.replyLength);
    if (reply || lastBeforeUnplug)
        deliverLater(simulated, std::move(reply), 0, faults.replyDelay, lastBeforeUnplug);
    return 0;
}

void SimulatedHidService::setInputReportCallback(const HidDeviceRef& device,
                                                 InputReportCallback callback) {
    if (const auto simulated = own(device))
        simulated->inputReportCallback = std::move(callback);
}

QString SimulatedHidService::lastErrorReason(const HidDeviceRef& device) const {
    const auto simulated = own(device);
    return simulated ? simulated->lastErrorReason : QString();
}

QString SimulatedHidService::deviceNode(const HidDeviceRef& device) const {
    const auto simulated = own(device);
    return simulated ? simulated->node : QString();
}

std::shared_ptr<SimulatedHidDevice> SimulatedHidService::own(const HidDeviceRef& device) const {
    auto simulated = std::dynamic_pointer_cast<SimulatedHidDevice>(device);
    return simulated && simulated->owner == this ? simulated : nullptr;
}

int32_t SimulatedHidService::refusal(SimulatedHidDevice* device, const char* operation) {
    if (!device)
        return -ENODEV;
    return device->attached ? 0 : fail(*device, -ENODEV, operation);
}

int32_t SimulatedHidService::fail(SimulatedHidDevice& device, int32_t result,
                                  const char* operation) {
    device.lastErrorReason = QStringLiteral("Cannot %1 simulated device %2:%3: %4")
                                 .arg(QLatin1String(operation))
                                 .arg(device.identity.VendorID, 4, 16, QLatin1Char('0'))
                                 .arg(device.identity.ProductID, 4, 16, QLatin1Char('0'))
                                 .arg(QString::fromLocal8Bit(std::strerror(-result)));
    return result;
}

void SimulatedHidService::deliverLater(const std::shared_ptr<SimulatedHidDevice>& device,
                                       std::optional<QByteArray> report, int32_t result,
                                       std::chrono::milliseconds delay, bool unplugAfterwards) {
    std::weak_ptr<SimulatedHidDevice> weakDevice = device;
    QTimer::singleShot(delay, Qt::PreciseTimer, &deliveries_,
                       [this, weakDevice, report = std::move(report), result, unplugAfterwards] {
                           const auto target = weakDevice.lock();
                           // A device pulled meanwhile sends nothing more.
                           if (!target || !target->attached)
                               return;
                           // Copied: the callback may replace itself while it runs.
                           const InputReportCallback callback = target->inputReportCallback;
                           if (report && target->open && callback)
                               callback(result, *report);
                           if (unplugAfterwards)
                               unplug(target);
                       });
}
