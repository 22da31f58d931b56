#pragma once

#include "KernelHidEndpoint.h"

#include <memory>

// A converter presented through /dev/uhid: the kernel creates a HID device on the USB bus with a
// virtual parent (no USB device above it) and a hidraw node for it. Destroying the endpoint
// destroys the HID device, which the host sees as an unplug.
class UhidEndpoint : public KernelHidEndpoint {
public:
    // Absent when /dev/uhid cannot be opened or the kernel rejects the device; `error` says why.
    static std::unique_ptr<UhidEndpoint> create(const KernelHidIdentity& identity, QString* error);
    ~UhidEndpoint() override;

    UhidEndpoint(const UhidEndpoint&) = delete;
    UhidEndpoint& operator=(const UhidEndpoint&) = delete;

    int descriptor() const override;
    std::optional<QByteArray> takeOutputReport() override;
    bool sendInputReport(const QByteArray& report, int timeoutMs) override;
    QString lastError() const override;

private:
    explicit UhidEndpoint(int fd);
    void answerReportRequest(uint32_t type, uint32_t id);

    int fd_ = -1;
    QString lastError_;
};
