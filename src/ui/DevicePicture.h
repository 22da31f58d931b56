#pragma once

#include <QImage>
#include <optional>

#include "config/ConfigModel.h"

// The configured picture of the converter: the Base64 text of the configuration, decoded
// leniently (line breaks and other stray characters are skipped) and read as an image file.
class DevicePicture {
public:
    static std::optional<QImage> fromConfig(const std::optional<ConfigModel>& config);
};
