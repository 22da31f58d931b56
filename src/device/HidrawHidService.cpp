#include "device/HidrawHidService.h"

#include "device/HidrawDevice.h"
#include "device/UdevHidrawNodeSource.h"

#include <cerrno>

HidrawHidService::HidrawHidService(std::unique_ptr<HidrawNodeSource> source)
    : source_(source ? std::move(source) : std::make_unique<UdevHidrawNodeSource>()) {
    rescanTimer_.setInterval(rescanInterval);
    QObject::connect(&rescanTimer_, &QTimer::timeout, &deliveries_, [this] { rescan(); });
}

HidrawHidService::~HidrawHidService() {
    // Devices may be held beyond this service; they must neither keep descriptors open nor call
    // back into it.
    for (auto& [devnode, device] : attached_)
        device->markGone();
}

int32_t HidrawHidService::open() {
    if (opened_)
        return 0;
    opened_ = true;
    rescan();
    // The source announces a node once it can be opened, and perhaps once more when udev is done
    // with it: a search that could not open it the first time then tries again.
    const auto added = [this](const HidrawNode& node) {
        goneNodes_.erase(node.devnode);
        if (const auto device = attach(node))
            reportArrivalLater(device);
    };
    const auto removed = [this](const QString& devnode) {
        goneNodes_.erase(devnode);
        detach(devnode);
    };
    // Nobody announces removals: look for them ourselves. Devices that are open still notice at
    // once, through their descriptors.
    if (source_->startWatching({added, removed}) != 0)
        rescanTimer_.start();
    return 0;
}

std::vector<HidDeviceRef> HidrawHidService::copyDevices() {
    std::vector<HidDeviceRef> devices;
    for (const std::shared_ptr<HidrawDevice>& device : rescan())
        if (matches(device->node().identity))
            devices.push_back(device);
    return devices;
}

int32_t HidrawHidService::openDevice(const HidDeviceRef& device) {
    const std::shared_ptr<HidrawDevice> own = this->own(device);
    return own ? own->open(*source_) : -ENODEV;
}

int32_t HidrawHidService::closeDevice(const HidDeviceRef& device) {
    const std::shared_ptr<HidrawDevice> own = this->own(device);
    return own ? own->close() : -ENODEV;
}

std::optional<DeviceMatching> HidrawHidService::identityOf(const HidDeviceRef& device) const {
    const std::shared_ptr<HidrawDevice> own = this->own(device);
    return own ? std::optional(own->node().identity) : std::nullopt;
}

int32_t HidrawHidService::setOutputReport(const HidDeviceRef& device, const QByteArray& report) {
    const std::shared_ptr<HidrawDevice> own = this->own(device);
    return own ? own->writeReport(report) : -ENODEV;
}

void HidrawHidService::setInputReportCallback(const HidDeviceRef& device,
                                              InputReportCallback callback) {
    if (const std::shared_ptr<HidrawDevice> own = this->own(device))
        own->setInputReportCallback(std::move(callback));
}

QString HidrawHidService::deviceNode(const HidDeviceRef& device) const {
    const std::shared_ptr<HidrawDevice> own = this->own(device);
    return own ? own->node().devnode : QString();
}

QString HidrawHidService::lastErrorReason(const HidDeviceRef& device) const {
    const std::shared_ptr<HidrawDevice> own = this->own(device);
    return own ? own->lastErrorReason() : QStringLiteral("not a hidraw device of this program");
}

std::shared_ptr<HidrawDevice> HidrawHidService::own(const HidDeviceRef& device) const {
    std::shared_ptr<HidrawDevice> own = std::dynamic_pointer_cast<HidrawDevice>(device);
    return own && own->owner() == this ? own : nullptr;
}

std::vector<std::shared_ptr<HidrawDevice>> HidrawHidService::rescan() {
    const std::vector<HidrawNode> nodes = source_->enumerate();
    std::vector<std::shared_ptr<HidrawDevice>> present;
    std::set<QString> listed;
    for (const HidrawNode& node : nodes) {
        listed.insert(node.devnode);
        if (std::shared_ptr<HidrawDevice> device = attach(node))
            present.push_back(std::move(device));
    }
    std::vector<QString> vanished;
    for (const auto& [devnode, device] : attached_)
        if (!listed.count(devnode))
            vanished.push_back(devnode);
    for (const QString& devnode : vanished)
        detach(devnode);
    // A node that is no longer listed has been removed; if it comes back it is a new device.
    for (auto it = goneNodes_.begin(); it != goneNodes_.end();)
        it = listed.count(*it) ? std::next(it) : goneNodes_.erase(it);
    return present;
}

std::shared_ptr<HidrawDevice> HidrawHidService::attach(const HidrawNode& node) {
    if (goneNodes_.count(node.devnode))
        return nullptr;
    if (const auto it = attached_.find(node.devnode); it != attached_.end()) {
        if (it->second->node().identity == node.identity)
            return it->second;
        // The node number was reused by another device while nobody was watching.
        detach(node.devnode);
    }
    auto device =
        std::make_shared<HidrawDevice>(this, node, [this](HidrawDevice& gone) { forget(gone); });
    attached_.emplace(node.devnode, device);
    return device;
}

void HidrawHidService::detach(const QString& devnode) {
    const auto it = attached_.find(devnode);
    if (it == attached_.end())
        return;
    const std::shared_ptr<HidrawDevice> device = it->second;
    attached_.erase(it);
    device->markGone();
    if (!matches(device->node().identity))
        return;
    // Never from inside the call that noticed it (a write, a copy of the device set).
    QMetaObject::invokeMethod(
        &deliveries_,
        [this, device] {
            if (const DeviceCallback callback = removalCallback_)
                callback(device);
        },
        Qt::QueuedConnection);
}

void HidrawHidService::forget(HidrawDevice& device) {
    const auto it = attached_.find(device.node().devnode);
    if (it == attached_.end() || it->second.get() != &device)
        return;
    goneNodes_.insert(device.node().devnode);
    detach(device.node().devnode);
}

void HidrawHidService::reportArrivalLater(const std::shared_ptr<HidrawDevice>& device) {
    std::weak_ptr<HidrawDevice> arrived = device;
    QMetaObject::invokeMethod(
        &deliveries_,
        [this, arrived] {
            // Gone again before anyone heard of it: nothing to announce.
            const std::shared_ptr<HidrawDevice> device = arrived.lock();
            if (device && !device->isGone())
                if (const DeviceCallback callback = arrivalCallback_)
                    callback(device);
        },
        Qt::QueuedConnection);
}
