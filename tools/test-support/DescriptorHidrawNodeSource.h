#pragma once

#include "device/HidrawNodeSource.h"

#include <map>
#include <optional>

// Device nodes backed by descriptors that are already open: reports are read and written on
// them exactly as on /dev/hidrawN. Tests and benchmarks stand a socket pair in for a device.
class DescriptorHidrawNodeSource : public HidrawNodeSource {
public:
    DescriptorHidrawNodeSource() = default;
    ~DescriptorHidrawNodeSource() override;
    DescriptorHidrawNodeSource(const DescriptorHidrawNodeSource&) = delete;
    DescriptorHidrawNodeSource& operator=(const DescriptorHidrawNodeSource&) = delete;

    // Attaches `node`, served by a copy of `fd` (the caller keeps its own). Every open hands out
    // another copy, so closing a device leaves the node usable for the next open. A node added
    // after startWatching() is announced.
    bool addNode(const HidrawNode& node, int fd);
    // Detaches the node and announces its removal, as udev would on unplugging.
    void removeNode(const QString& devnode);
    // Makes opening the node fail with `error` (a negative errno), e.g. -EACCES.
    void setOpenError(const QString& devnode, std::optional<int> error);
    // Keeps quiet about additions and removals, like a system without any event source.
    void setAnnounces(bool announces) { announces_ = announces; }

    std::vector<HidrawNode> enumerate() override;
    int openNode(const QString& devnode) override;
    int32_t startWatching(Watchers watchers) override;

private:
    struct Entry {
        HidrawNode node;
        int fd = -1;
        std::optional<int> openError;
    };
    std::map<QString, Entry> entries_;
    std::optional<Watchers> watchers_;
    bool announces_ = true;
};
