#pragma once

#include "device/HidrawNodeSource.h"

#include <QSocketNotifier>
#include <memory>
#include <optional>

struct udev;
struct udev_device;
struct udev_monitor;

// The hidraw nodes of this machine as udev sees them. Enumeration reads sysfs and works without
// a udev daemon; the removal watch listens to the daemon's events, or to the kernel's own where
// no daemon runs (containers, minimal systems), because libudev silently hears nothing then.
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
    void receiveEvents();

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> monitorNotifier_;
    Watchers watchers_;
};
