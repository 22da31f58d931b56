#include "SocketPairDevice.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

SocketPairDevice::SocketPairDevice(DescriptorHidrawNodeSource& source, const HidrawNode& node) {
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return;
    source.addNode(node, ends[0]);
    ::close(ends[0]);
    fd_ = ends[1];
}

SocketPairDevice::~SocketPairDevice() {
    hangUp();
}

std::optional<QByteArray> SocketPairDevice::receive(int timeoutMs, int capacity) {
    pollfd readable{fd_, POLLIN, 0};
    if (::poll(&readable, 1, timeoutMs) != 1)
        return std::nullopt;
    QByteArray message(capacity, '\0');
    const ssize_t length = ::recv(fd_, message.data(), static_cast<size_t>(capacity), MSG_TRUNC);
    if (length < 0)
        return std::nullopt;
    message.resize(length);
    return message;
}

bool SocketPairDevice::send(const QByteArray& report) {
    return ::send(fd_, report.constData(), static_cast<size_t>(report.size()), MSG_NOSIGNAL) ==
           report.size();
}

void SocketPairDevice::hangUp() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}
