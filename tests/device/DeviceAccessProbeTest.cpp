#include "device/DeviceAccessProbe.h"
#include "sim/SimulatedHidService.h"

#include <cerrno>
#include <gtest/gtest.h>

// Telling a converter the user may not open from one that is merely silent or gone.
TEST(DeviceAccessProbe, ReportsPermissionDeniedOnlyAndLeavesAnOpenableDeviceClosed) {
    SimulatedHidService service;
    for (const auto& [openError, denied] :
         std::initializer_list<std::pair<std::optional<int32_t>, bool>>{
             {-EACCES, true}, {-EPERM, true}, {-EIO, false}, {std::nullopt, false}}) {
        SimulatedDeviceFaults faults;
        faults.openError = openError;
        const HidDeviceRef device = service.plugIn(std::make_shared<VirtualConverter>(),
                                                   SimulatedHidService::loaderIdentity, faults);
        EXPECT_EQ(DeviceAccessProbe::isPermissionDenied(service, device), denied)
            << openError.value_or(0);
        EXPECT_FALSE(service.isOpen(device));
    }
    EXPECT_FALSE(DeviceAccessProbe::isPermissionDenied(service, nullptr));
}
