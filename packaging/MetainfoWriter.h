#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "DeviceIdentityList.h"

// Fills the AppStream metainfo template with one <modalias> per USB identity, so that software
// centres can offer the updater when the converter is plugged in.
class MetainfoWriter {
public:
    // Replaces the line holding the placeholder "@MODALIASES@" by the modalias lines, indented as
    // that line was. Absent when the template has no such line.
    static std::optional<QString> fill(const QString& metainfoTemplate,
                                       const std::vector<DeviceIdentity>& identities);
};
