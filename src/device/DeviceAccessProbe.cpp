#include "device/DeviceAccessProbe.h"

#include <cerrno>

bool DeviceAccessProbe::isPermissionDenied(HidService& service, const HidDeviceRef& device) {
    if (!device) {
        return false;
    }
    const int32_t result = service.openDevice(device);
    if (result == 0) {
        service.closeDevice(device);
        return false;
    }
    return result == -EACCES || result == -EPERM;
}
