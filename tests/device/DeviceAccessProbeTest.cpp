// Telling a converter the user may not open from one that is merely silent or gone.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "device/DeviceAccessProbe.h"
#include "sim/SimulatedHidService.h"

TEST(DeviceAccessProbe, ReportsPermissionDeniedOnlyAndLeavesAnOpenableDeviceClosed) {
    SimulatedHidService service;
    const std::pair<std::optional<int32_t>, bool> rows[] = {
        {-EACCES, true}, {-EPERM, true}, {-EIO, false}, {std::nullopt, false}};
    for (const auto& [openError, denied] : rows) {
        SimulatedDeviceFaults faults;
        faults.openError = openError;
        const HidDeviceRef device = service.plugIn(std::make_shared<VirtualConverter>(),
                                                   SimulatedHidService::loaderIdentity, faults);
        EXPECT_EQ(DeviceAccessProbe::isPermissionDenied(service, device), denied)
            << openError.value_or(0);
        EXPECT_FALSE(service.isOpen(device));
        service.unplug(device);
        EXPECT_FALSE(DeviceAccessProbe::isPermissionDenied(service, device));
    }
    EXPECT_FALSE(DeviceAccessProbe::isPermissionDenied(service, nullptr));
}
