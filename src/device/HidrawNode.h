#pragma once

#include <QString>
#include <cstdint>

// One hidraw device node and the USB identity of the HID device behind it.
struct HidrawNode {
    QString devnode; // e.g. "/dev/hidraw3"; unique among attached nodes
    int64_t vendorId = 0;
    int64_t productId = 0;
};
