#pragma once

#include "device/HidService.h"
#include "sim/SimulatedDeviceFaults.h"
#include "sim/VirtualConverter.h"

class SimulatedHidService;

// The state of one device attached to a SimulatedHidService. The service hands it out as the
// opaque HidDeviceRef; only the service looks inside.
class SimulatedHidDevice : public HidDevice {
public:
    SimulatedHidDevice(const SimulatedHidService* owner, DeviceMatching identity,
                       std::shared_ptr<VirtualConverter> converter, SimulatedDeviceFaults faults)
        : owner(owner), identity(identity), converter(std::move(converter)),
          faults(std::move(faults)) {}

    const SimulatedHidService* const owner;
    const DeviceMatching identity;
    const std::shared_ptr<VirtualConverter> converter; // null for a device that never answers
    SimulatedDeviceFaults faults;
    // "virtual-1" for the first device plugged into its service, and so on: never reused.
    QString node;
    bool attached = true;
    bool open = false;
    int writes = 0;
    int dataPackets = 0;
    std::vector<QByteArray> written;
    HidService::InputReportCallback inputReportCallback;
    QString lastErrorReason;
};
