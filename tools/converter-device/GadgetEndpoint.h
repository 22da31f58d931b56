#pragma once

#include "KernelHidEndpoint.h"

#include <memory>

// A converter presented as a real USB device: a configfs HID gadget bound to a USB device
// controller (dummy_hcd in the test guest), so the host's USB core enumerates it and its USB HID
// driver binds to it exactly as to the hardware. The device end is /dev/hidgN. Destroying the
// endpoint unbinds and removes the gadget, which the host sees as an unplug.
class GadgetEndpoint : public KernelHidEndpoint {
public:
    // Absent when configfs has no usb_gadget folder, no controller is free or a step of the
    // set-up fails; `error` says why. Whatever was set up is removed again.
    static std::unique_ptr<GadgetEndpoint> create(const KernelHidIdentity& identity,
                                                  QString* error);
    ~GadgetEndpoint() override;

    GadgetEndpoint(const GadgetEndpoint&) = delete;
    GadgetEndpoint& operator=(const GadgetEndpoint&) = delete;

    int descriptor() const override;
    std::optional<QByteArray> takeOutputReport() override;
    bool sendInputReport(const QByteArray& report, int timeoutMs) override;
    // The gadget holds a report until the host's driver polls for it; only then is it writable.
    bool waitUntilTaken(int timeoutMs) override;
    QString lastError() const override;

private:
    explicit GadgetEndpoint(QString gadgetPath);
    bool build(const KernelHidIdentity& identity, QString* error);
    bool bindToFreeController(QString* error);
    bool openFunctionNode(QString* error);
    void remove();

    QString gadgetPath_;
    int fd_ = -1;
    QString lastError_;
};
