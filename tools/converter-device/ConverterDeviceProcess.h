#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// What converter-device saw through the kernel, from the line it prints when it unplugs.
struct DeviceSideSummary {
    int outputReports = 0;
    int dataPackets = 0;
    int unansweredDataPackets = 0;
    qsizetype imageBytes = 0;
    bool imageComplete = false;
    uint16_t imageSum = 0;
    bool endUpgradeReceived = false;
    // When the device began to unplug itself (CLOCK_MONOTONIC, microseconds); absent for a
    // report while it stays attached.
    std::optional<int64_t> unplugStartedAtUs;
};

// A whole file, such as the image converter-device writes with --received-image; empty when it
// cannot be read.
QByteArray readWholeFile(const QString& path);

// Now on the clock converter-device stamps its lines with (CLOCK_MONOTONIC), in microseconds.
int64_t monotonicMicroseconds();

// One converter attached to this machine's kernel for the length of a test: converter-device
// (beside the test program) started with the given options. Destroying it unplugs the device.
class ConverterDeviceProcess {
public:
    enum class Transport { Uhid, Gadget };

    // Whether this machine can present a converter that way: /dev/uhid usable, or configfs with
    // a USB device controller and the right to use it (root).
    static bool available(Transport transport);
    static QString transportName(Transport transport);

    ConverterDeviceProcess(Transport transport, QStringList arguments = {});
    ~ConverterDeviceProcess();
    ConverterDeviceProcess(const ConverterDeviceProcess&) = delete;
    ConverterDeviceProcess& operator=(const ConverterDeviceProcess&) = delete;

    // Plugs the converter in and waits until its hidraw node is usable. False with error() set
    // when it did not come up.
    bool plugIn();
    // The same in two halves, for a caller that runs its own event loop meanwhile: the first
    // returns once the device exists, the second waits for its node (without settling udev).
    bool beginPlugIn();
    bool finishPlugIn();
    // When the kernel got the device (CLOCK_MONOTONIC, microseconds); known after beginPlugIn().
    std::optional<int64_t> createdAtUs() const { return createdAtUs_; }

    // Replaces the device's faults with converter-device options (from --never-reply on) and
    // makes it forget what it saw. False with error() set when it refused them.
    bool arm(const QStringList& faultArguments);
    // What the device saw since it was plugged in or last armed; it stays attached.
    std::optional<DeviceSideSummary> report();
    QString node() const { return node_; }
    QString error() const { return error_; }

    // Starts the unplug and returns at once (the caller watches the host side meanwhile).
    void beginUnplug();
    // Waits for the device to be gone; absent when it did not end in order.
    std::optional<DeviceSideSummary> finishUnplug();
    std::optional<DeviceSideSummary> unplug();

private:
    // The next line converter-device prints; empty when none came within the limit.
    QByteArray nextLine(int limitMs);
    bool waitForReady(bool settle);

    Transport transport_;
    QStringList arguments_;
    QProcess process_;
    QString node_;
    QString error_;
    std::optional<int64_t> createdAtUs_;
};
