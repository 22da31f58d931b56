#include "device/HidService.h"

#include <algorithm>

HidDevice::~HidDevice() = default;
HidService::~HidService() = default;

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
    return matching_.empty() ||
           std::find(matching_.begin(), matching_.end(), identity) != matching_.end();
}
