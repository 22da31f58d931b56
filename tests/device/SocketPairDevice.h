#pragma once

#include "DescriptorHidrawNodeSource.h"

#include <QByteArray>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The device end of a SOCK_SEQPACKET pair served as a hidraw node: one message is one report.
class SocketPairDevice {
public:
    SocketPairDevice(DescriptorHidrawNodeSource& source, const HidrawNode& node) {
        int ends[2] = {-1, -1};
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
            return;
        source.addNode(node, ends[0]);
        ::close(ends[0]);
        fd_ = ends[1];
    }
    ~SocketPairDevice() { hangUp(); }
    SocketPairDevice(const SocketPairDevice&) = delete;
    SocketPairDevice& operator=(const SocketPairDevice&) = delete;

    // One message the program wrote, at its true length; absent when none arrives in time.
    std::optional<QByteArray> receive(int timeoutMs = 2000, int capacity = 256) {
        pollfd readable{fd_, POLLIN, 0};
        if (::poll(&readable, 1, timeoutMs) != 1)
            return std::nullopt;
        QByteArray message(capacity, '\0');
        message.resize(::recv(fd_, message.data(), size_t(capacity), MSG_TRUNC));
        return message;
    }
    bool send(const QByteArray& report) {
        return ::send(fd_, report.constData(), size_t(report.size()), MSG_NOSIGNAL) ==
               report.size();
    }
    // Unplugging as the descriptor sees it: the program's end reads end-of-file.
    void hangUp() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};
