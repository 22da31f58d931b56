#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "device/HidService.h"

// One converter in loader mode as the program knows it once it has answered: where it is attached,
// who it says it is, and the packet counter the next exchange with it continues from.
struct ConverterIdentity {
    HidDeviceRef device;
    // The node the backend shows for it ("/dev/hidraw3", "virtual-1"), for choosing among several.
    QString node;
    int64_t vendorId = 0;
    int64_t productId = 0;
    // As the converter reported them; absent when its answer carries none.
    std::optional<QString> partNumber = {};
    std::optional<QString> firmwareVersion = {};
    // Where the last exchange left the counter: the end command after a transfer carries it.
    int64_t packNo = 0;
};
