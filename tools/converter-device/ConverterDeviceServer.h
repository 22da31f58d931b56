#pragma once

#include "ConverterDeviceOptions.h"
#include "KernelHidEndpoint.h"
#include "sim/VirtualConverter.h"

#include <memory>

// Serves one VirtualConverter through a kernel HID endpoint: every output report the host writes
// goes to the converter, every answer goes back as an input report. Runs until SIGTERM or SIGINT
// arrives or the configured unplug point is reached; then the endpoint goes, which unplugs the
// device, and a summary line tells the test what the device side saw. Commands on standard input
// re-arm the faults between two updates, so one device serves many of them.
class ConverterDeviceServer {
public:
    explicit ConverterDeviceServer(ConverterDeviceOptions options);

    // The program's exit status: 0 after an orderly unplug, 1 when the device could not be
    // presented or the endpoint failed.
    int run();

private:
    bool serveOneReport(KernelHidEndpoint& endpoint, const QByteArray& request);
    void drainPendingReports(KernelHidEndpoint& endpoint);
    // Commands on standard input, one a line; false once input has ended.
    bool readCommands(KernelHidEndpoint& endpoint);
    void runCommand(KernelHidEndpoint& endpoint, const QString& line);
    void arm(const ConverterDeviceOptions& faults);
    void writeReadyFile(const QString& node) const;
    void writeReceivedImage() const;
    void printSummary(const QString& prefix) const;

    ConverterDeviceOptions options_;
    VirtualConverter converter_;
    int outputReports_ = 0;
    int dataPackets_ = 0;
    int dataPacketsWithoutAnswer_ = 0;
    QByteArray pendingInput_;
};
