#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "config/ConfigModel.h"

// One USB identity the converter presents (application or loader mode).
struct DeviceIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    QString mode; // "application" or "loader", for the comments of generated files
    bool operator==(const DeviceIdentity&) const = default;
};

// The USB identities a configuration names, application mode first, then loader mode, each once.
// Files generated from them (udev rule, AppStream modaliases) grant access to real hardware, so a
// value that is no USB id is refused instead of being written in some truncated form.
class DeviceIdentityList {
public:
    // Absent, with the reason in `error`, when a record holds an id outside 0..0xFFFF or when the
    // configuration names no complete identity at all.
    static std::optional<std::vector<DeviceIdentity>> fromConfig(const ConfigModel& config,
                                                                 QString* error = nullptr);
};
