#pragma once

#include "device/HidService.h"

// One hidraw device node and the USB identity of the HID device behind it.
struct HidrawNode {
    QString devnode; // e.g. "/dev/hidraw3"; unique among attached nodes
    DeviceMatching identity;
};
