#pragma once

#include <QString>
#include <optional>

#include "cli/CliArguments.h"
#include "sim/SimulatedHidService.h"

// The converters of --simulate: the demo's virtual converter (part number QK100201, firmware
// V1.0.0.5, the older of the shipped releases), and with two of them a second one of another
// model, plugged in before the command looks for them.
class SimulatedConverters {
public:
    // `installing` is the release an update sends ("V1.1.0.2"): the virtual converter reports it
    // once the update went through, as a real one restarted into its new firmware does.
    static void plugIn(SimulatedHidService& service, const CliArguments::Simulation& simulation,
                       const std::optional<QString>& installing);

    // "V1.2.3.4" as the converter reports it (0x01020304), or absent for any other text.
    static std::optional<uint32_t> versionNumber(const QString& version);
};
