#pragma once

#include <QString>
#include <optional>

// The device picture of the configuration. A value record: copies are independent.
struct DeviceImageModel {
    std::optional<QString> ImageName;
    std::optional<QString> ImageString; // Base64 of the picture file
};
