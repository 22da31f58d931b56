#pragma once

#include <functional>

#include "cli/CliArguments.h"
#include "sim/SimulatedHidService.h"

// The converters of --simulate: the demo's virtual converter (part number QK100201, firmware
// V1.0.0.5, the older of the shipped releases), and with two of them a second one of another
// model, plugged in before the command looks for them or, with --plug-after, while it runs.
class SimulatedConverters {
public:
    // `service` must outlive a plug-in that comes later. What comes back tells the converters a
    // named release's version, which they report once its image went through whole.
    static std::function<void(const QByteArray& image, const QString& version)>
    plugIn(SimulatedHidService& service, const CliArguments::Simulation& simulation);
};
