#include "device/HidService.h"

#include <algorithm>
#include <cerrno>

std::optional<int64_t> HidService::deviceProperty(const HidDeviceRef& device,
                                                  std::string_view key) const {
    const std::optional<DeviceMatching> identity = identityOf(device);
    if (identity && key == "VendorID")
        return identity->VendorID;
    if (identity && key == "ProductID")
        return identity->ProductID;
    return std::nullopt;
}

bool HidService::matches(const DeviceMatching& identity) const {
    return matching_.empty() || std::ranges::find(matching_, identity) != matching_.end();
}

bool HidService::isPermissionDenied(const HidDeviceRef& device) {
    if (!device)
        return false;
    const int32_t result = openDevice(device);
    if (result == 0)
        closeDevice(device);
    return result == -EACCES || result == -EPERM;
}
