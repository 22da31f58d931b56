#pragma once

#include "device/DescriptorHidrawNodeSource.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The device side of a SOCK_SEQPACKET socket pair whose other end a DescriptorHidrawNodeSource
// serves as a hidraw node: one message is one report, as on /dev/hidrawN.
class SocketPairDevice {
public:
    SocketPairDevice(DescriptorHidrawNodeSource& source, const HidrawNode& node);
    ~SocketPairDevice();
    SocketPairDevice(const SocketPairDevice&) = delete;
    SocketPairDevice& operator=(const SocketPairDevice&) = delete;

    // One message the program wrote, whole (its true length even beyond `capacity`); absent when
    // none arrives within `timeoutMs`.
    std::optional<QByteArray> receive(int timeoutMs = 2000, int capacity = 256);
    bool send(const QByteArray& report);
    // Unplugging as the descriptor sees it: the program's end reads end-of-file.
    void hangUp();

private:
    int fd_ = -1;
};
