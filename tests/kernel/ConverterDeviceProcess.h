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
};

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
    QString node() const { return node_; }
    QString error() const { return error_; }

    // Starts the unplug and returns at once (the caller watches the host side meanwhile).
    void beginUnplug();
    // Waits for the device to be gone; absent when it did not end in order.
    std::optional<DeviceSideSummary> finishUnplug();
    std::optional<DeviceSideSummary> unplug();

private:
    Transport transport_;
    QStringList arguments_;
    QProcess process_;
    QString node_;
    QString error_;
};
