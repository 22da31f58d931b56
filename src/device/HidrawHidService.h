#pragma once

#include "device/HidService.h"
#include "device/HidrawNodeSource.h"

#include <QObject>
#include <QTimer>
#include <map>
#include <set>

class HidrawDevice;

// The HID service on Linux: hidraw device nodes, found and watched through a node source (udev
// unless told otherwise), read and written through their descriptors on the GUI thread's event
// loop. A device counts as removed when the source says so, when a rescan no longer finds it, or
// when its open descriptor reports that the device has gone.
class HidrawHidService : public HidService {
public:
    // Without a source, the machine's hidraw nodes through udev.
    explicit HidrawHidService(std::unique_ptr<HidrawNodeSource> source = nullptr);
    ~HidrawHidService() override;
    HidrawHidService(const HidrawHidService&) = delete;
    HidrawHidService& operator=(const HidrawHidService&) = delete;

    int32_t open() override;
    std::vector<HidDeviceRef> copyDevices() override;
    int32_t openDevice(const HidDeviceRef& device) override;
    int32_t closeDevice(const HidDeviceRef& device) override;
    int32_t setOutputReport(const HidDeviceRef& device, const QByteArray& report) override;
    void setInputReportCallback(const HidDeviceRef& device, InputReportCallback callback) override;
    QString lastErrorReason(const HidDeviceRef& device) const override;
    QString deviceNode(const HidDeviceRef& device) const override;

    // How often the attached nodes are re-read when the source cannot announce removals.
    static constexpr std::chrono::milliseconds rescanInterval{1000};

protected:
    std::optional<DeviceMatching> identityOf(const HidDeviceRef& device) const override;

private:
    std::shared_ptr<HidrawDevice> own(const HidDeviceRef& device) const;
    // Brings the registry in line with what the source lists now; the attached devices in the
    // source's order.
    std::vector<std::shared_ptr<HidrawDevice>> rescan();
    std::shared_ptr<HidrawDevice> attach(const HidrawNode& node);
    void detach(const QString& devnode);
    void forget(HidrawDevice& device);
    void reportArrivalLater(const std::shared_ptr<HidrawDevice>& device);

    std::unique_ptr<HidrawNodeSource> source_;
    // Every attached node this service knows of, matching or not, by device node path.
    std::map<QString, std::shared_ptr<HidrawDevice>> attached_;
    // Nodes whose descriptor said the device has gone while the node is still listed (udev has
    // not caught up yet, or never will for a descriptor handed in): not attached again until the
    // node has been removed and added anew.
    std::set<QString> goneNodes_;
    bool opened_ = false;
    QTimer rescanTimer_;
    // Context of queued removals and arrivals: destroying the service cancels them.
    QObject deliveries_;
};
