// Telling a converter the user may not open from one that is merely silent or gone.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "device/DeviceAccessProbe.h"
#include "sim/SimulatedHidService.h"

namespace {

SimulatedDeviceFaults openFailingWith(int32_t error) {
    SimulatedDeviceFaults faults;
    faults.openError = error;
    return faults;
}

} // namespace

TEST(DeviceAccessProbe, ReportsPermissionDeniedOnlyAndLeavesAnOpenableDeviceClosed) {
    SimulatedHidService service;
    const auto refused =
        service.plugIn(std::make_shared<VirtualConverter>(), SimulatedHidService::loaderIdentity,
                       openFailingWith(-EACCES));
    EXPECT_TRUE(DeviceAccessProbe::isPermissionDenied(service, refused));

    const auto broken = service.plugIn(std::make_shared<VirtualConverter>(),
                                       SimulatedHidService::loaderIdentity, openFailingWith(-EIO));
    EXPECT_FALSE(DeviceAccessProbe::isPermissionDenied(service, broken));

    const auto openable = service.plugIn(std::make_shared<VirtualConverter>());
    EXPECT_FALSE(DeviceAccessProbe::isPermissionDenied(service, openable));
    EXPECT_FALSE(service.isOpen(openable));

    service.unplug(openable);
    EXPECT_FALSE(DeviceAccessProbe::isPermissionDenied(service, openable));
    EXPECT_FALSE(DeviceAccessProbe::isPermissionDenied(service, nullptr));
}
