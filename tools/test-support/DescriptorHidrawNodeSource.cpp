#include "DescriptorHidrawNodeSource.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

DescriptorHidrawNodeSource::~DescriptorHidrawNodeSource() {
    for (auto& [devnode, entry] : entries_)
        ::close(entry.fd);
}

bool DescriptorHidrawNodeSource::addNode(const HidrawNode& node, int fd) {
    if (entries_.count(node.devnode))
        return false;
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return false;
    entries_[node.devnode] = Entry{node, own, std::nullopt};
    if (announces_ && watchers_ && watchers_->added)
        watchers_->added(node);
    return true;
}

void DescriptorHidrawNodeSource::removeNode(const QString& devnode) {
    const auto it = entries_.find(devnode);
    if (it == entries_.end())
        return;
    ::close(it->second.fd);
    entries_.erase(it);
    if (announces_ && watchers_ && watchers_->removed)
        watchers_->removed(devnode);
}

void DescriptorHidrawNodeSource::setOpenError(const QString& devnode, std::optional<int> error) {
    if (const auto it = entries_.find(devnode); it != entries_.end())
        it->second.openError = error;
}

std::vector<HidrawNode> DescriptorHidrawNodeSource::enumerate() {
    std::vector<HidrawNode> nodes;
    for (const auto& [devnode, entry] : entries_)
        nodes.push_back(entry.node);
    return nodes;
}

int DescriptorHidrawNodeSource::openNode(const QString& devnode) {
    const auto it = entries_.find(devnode);
    if (it == entries_.end())
        return -ENOENT;
    if (it->second.openError)
        return *it->second.openError;
    const int fd = ::fcntl(it->second.fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return -errno;
    // What open(O_NONBLOCK) gives a real node. The flag lives in the shared file description,
    // which is what the service's reads rely on anyway.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

int32_t DescriptorHidrawNodeSource::startWatching(Watchers watchers) {
    watchers_ = std::move(watchers);
    return announces_ ? 0 : -ENOTSUP;
}
