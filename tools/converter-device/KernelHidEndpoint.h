#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// What the host sees of a converter the kernel presents: the USB identity, the product name and
// the serial number, which the kernel reports as the HID device's "uniq" string and which tells
// two converters of the same identity apart.
struct KernelHidIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    QString name;
    QString serial;
};

// The device end of one HID device that the kernel presents to the host: the program playing the
// converter reads the host's output reports from it and answers with input reports. Destroying
// the endpoint unplugs the device.
class KernelHidEndpoint {
public:
    virtual ~KernelHidEndpoint();

    // The descriptor to poll for readability; an output report (or another event) is waiting.
    virtual int descriptor() const = 0;

    // Reads one event. Absent when it was not an output report from the host; the bytes are the
    // report as a real device receives it, without a report-id byte.
    virtual std::optional<QByteArray> takeOutputReport() = 0;

    // Hands one 64-byte input report to the host. False when the kernel refused it or the host
    // did not take it within `timeoutMs`.
    virtual bool sendInputReport(const QByteArray& report, int timeoutMs) = 0;

    // Waits until the host has taken the last input report; false when it did not within
    // `timeoutMs`. Where a sent report is the host's at once, there is nothing to wait for.
    virtual bool waitUntilTaken(int /*timeoutMs*/) { return true; }

    // Why the endpoint could not be created or the last operation failed.
    virtual QString lastError() const = 0;
};
