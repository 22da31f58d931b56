#pragma once

#include "device/HidService.h"

// Whether the system refuses this program access to an attached device. The device commands open
// the device themselves and only say that they failed, so the device search asks this after a
// failed identification: a converter that is there but may not be opened (no udev rule on Linux)
// is then reported to the user instead of being searched for in silence.
class DeviceAccessProbe {
public:
    // Tries to open the device and, when that works, closes it again (the failed synchronisation
    // that comes before this has closed it too). True only for permission denied.
    static bool isPermissionDenied(HidService& service, const HidDeviceRef& device);
};
