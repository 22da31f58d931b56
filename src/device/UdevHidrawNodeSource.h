#pragma once

#include "device/HidrawNodeSource.h"

#include <QSocketNotifier>

struct udev;
struct udev_device;
struct udev_monitor;

// The hidraw nodes of this machine as udev sees them. Enumeration reads sysfs and works without
// a udev daemon; the watch listens to the daemon's events, or to the kernel's own where no daemon
// runs (containers, minimal systems), because libudev silently hears nothing then. With a daemon
// it hears the kernel's additions too: the daemon announces a node only once all its rules have
// run, which can take a while after the node could first be opened.
class UdevHidrawNodeSource : public HidrawNodeSource {
public:
    UdevHidrawNodeSource();
    ~UdevHidrawNodeSource() override;
    UdevHidrawNodeSource(const UdevHidrawNodeSource&) = delete;
    UdevHidrawNodeSource& operator=(const UdevHidrawNodeSource&) = delete;

    std::vector<HidrawNode> enumerate() override;
    int openNode(const QString& devnode) override;
    int32_t startWatching(Watchers watchers) override;

private:
    std::optional<HidrawNode> nodeOf(udev_device* device) const;
    // A monitor of hidraw events from `group` ("udev" or "kernel"), read on the event loop.
    udev_monitor* watch(const char* group, std::unique_ptr<QSocketNotifier>& notifier);
    void receiveEvents(udev_monitor* monitor);

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> monitorNotifier_;
    // With a daemon: the kernel's own additions, announced once the node can be opened.
    udev_monitor* kernelMonitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> kernelMonitorNotifier_;
    Watchers watchers_;
};
