#include "device/UdevHidrawNodeSource.h"

#include "device/UdevHidId.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

UdevHidrawNodeSource::UdevHidrawNodeSource() : udev_(udev_new()) {}

UdevHidrawNodeSource::~UdevHidrawNodeSource() {
    monitorNotifier_.reset();
    kernelMonitorNotifier_.reset();
    // Each of these takes a null pointer too.
    udev_monitor_unref(monitor_);
    udev_monitor_unref(kernelMonitor_);
    udev_unref(udev_);
}

std::vector<HidrawNode> UdevHidrawNodeSource::enumerate() {
    std::vector<HidrawNode> nodes;
    if (!udev_)
        return nodes;
    udev_enumerate* enumeration = udev_enumerate_new(udev_);
    if (!enumeration)
        return nodes;
    udev_enumerate_add_match_subsystem(enumeration, "hidraw");
    udev_enumerate_scan_devices(enumeration);
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration)) {
        udev_device* device = udev_device_new_from_syspath(udev_, udev_list_entry_get_name(entry));
        if (!device)
            continue;
        if (std::optional<HidrawNode> node = nodeOf(device))
            nodes.push_back(std::move(*node));
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumeration);
    return nodes;
}

std::optional<HidrawNode> UdevHidrawNodeSource::nodeOf(udev_device* device) const {
    const char* devnode = udev_device_get_devnode(device);
    // The hidraw node itself knows no ids; its HID parent carries them in HID_ID.
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
    if (!devnode || !hid)
        return std::nullopt;
    const char* hidId = udev_device_get_property_value(hid, "HID_ID");
    const std::optional<UdevHidId> id = hidId ? UdevHidId::parse(hidId) : std::nullopt;
    if (!id)
        return std::nullopt;
    return HidrawNode{QString::fromLocal8Bit(devnode), {id->vendorId, id->productId}};
}

int UdevHidrawNodeSource::openNode(const QString& devnode) {
    const int fd = ::open(devnode.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
}

int32_t UdevHidrawNodeSource::startWatching(Watchers watchers) {
    if (!udev_)
        return -ENOMEM;
    watchers_ = std::move(watchers);
    if (monitor_)
        return 0;
    // Events of the "udev" group come only from a running daemon, after its rules have run.
    const bool daemonRuns = ::access("/run/udev/control", F_OK) == 0;
    monitor_ = watch(daemonRuns ? "udev" : "kernel", monitorNotifier_);
    if (!monitor_)
        return errno != 0 ? -errno : -EIO;
    // Only a help: without it the daemon's event still comes.
    if (daemonRuns)
        kernelMonitor_ = watch("kernel", kernelMonitorNotifier_);
    return 0;
}

udev_monitor* UdevHidrawNodeSource::watch(const char* group,
                                          std::unique_ptr<QSocketNotifier>& notifier) {
    udev_monitor* monitor = udev_monitor_new_from_netlink(udev_, group);
    if (!monitor)
        return nullptr;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        udev_monitor_unref(monitor);
        errno = EIO;
        return nullptr;
    }
    notifier =
        std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                     [this, monitor] { receiveEvents(monitor); });
    return monitor;
}

void UdevHidrawNodeSource::receiveEvents(udev_monitor* monitor) {
    // Beside the daemon's, the kernel's events serve for additions only, and only for a node this
    // user can open already: otherwise the daemon's rules are still to grant access.
    const bool onlyOpenableAdditions = monitor == kernelMonitor_;
    // The monitor socket is non-blocking: drain what is there, then go back to the loop.
    while (udev_device* device = udev_monitor_receive_device(monitor)) {
        const char* action = udev_device_get_action(device);
        const char* devnode = udev_device_get_devnode(device);
        if (action && devnode && std::strcmp(action, "remove") == 0) {
            if (watchers_.removed && !onlyOpenableAdditions)
                watchers_.removed(QString::fromLocal8Bit(devnode));
        } else if (action && std::strcmp(action, "add") == 0 &&
                   (!onlyOpenableAdditions || (devnode && ::access(devnode, R_OK | W_OK) == 0))) {
            if (std::optional<HidrawNode> node = nodeOf(device); node && watchers_.added)
                watchers_.added(*node);
        }
        udev_device_unref(device);
    }
}
