#pragma once

#include <memory>
#include <vector>

#include "cli/CliArguments.h"
#include "sim/SimulatedHidService.h"

// The converters of --simulate: the demo's virtual converter (part number QK100201, firmware
// V1.0.0.5, the older of the shipped releases), and with two of them a second one of another
// model, plugged in before the command looks for them or, with --plug-after, while it runs.
class SimulatedConverters {
public:
    // `service` must outlive a plug-in that comes later.
    static std::vector<std::shared_ptr<VirtualConverter>>
    plugIn(SimulatedHidService& service, const CliArguments::Simulation& simulation);
};
