#include <gtest/gtest.h>

#include <cerrno>

#include "core/ConverterSearch.h"
#include "sim/SimulatedHidService.h"

using State = ConverterSearch::Finding::State;

// Every loader-mode converter attached, each as it answers: the list a command line shows.
TEST(ConverterSearch, IdentifyAllTellsIdentifiedRefusedAndSilentConvertersApartInNodeOrder) {
    SimulatedHidService service;
    const DeviceMatching loader = SimulatedHidService::loaderIdentity;
    USBHidManager manager(service, {loader}, {},
                          {std::chrono::milliseconds{200}, std::chrono::milliseconds{20}});
    ConverterSearch search(manager, {loader});

    auto plug = [&](const QByteArray& partNumber, uint32_t version,
                    VirtualConverter::Faults faults = {}, SimulatedDeviceFaults link = {}) {
        auto converter = std::make_shared<VirtualConverter>(
            VirtualConverter::Identity{partNumber, version, false});
        converter->setFaults(faults);
        return service.plugIn(converter, loader, link);
    };
    const HidDeviceRef pro = plug("QK100201", 0x01020304);
    const HidDeviceRef refused = plug("QK100301", 0, {}, {.openError = -EACCES});
    const HidDeviceRef silent = plug("QK100401", 0, {.ignoreGetFWInfo = true});
    service.plugInUnrelatedDevice({0x046D, 0xC52B}); // not a converter: never listed
    const HidDeviceRef mini = plug("QK100501", 0x02000000);
    const HidDeviceRef notPermitted = plug("QK100601", 0, {}, {.openError = -EPERM});
    const HidDeviceRef broken = plug("QK100701", 0, {}, {.openError = -EIO});
    const HidDeviceRef mute = plug("QK100801", 0, {.noReplyFromPackNo = 0});

    using Row = std::tuple<HidDeviceRef, QString, State, int64_t, std::optional<QString>,
                           std::optional<QString>>;
    const int64_t vendor = loader.VendorID;
    std::vector<Row> found;
    for (const ConverterSearch::Finding& f : search.identifyAll())
        found.emplace_back(f.identity.device, f.identity.node, f.state, f.identity.vendorId,
                           f.identity.partNumber, f.identity.firmwareVersion);
    EXPECT_EQ(found, (std::vector<Row>{
                         {pro, "virtual-1", State::Identified, vendor, "QK100201", "V1.2.3.4"},
                         {refused, "virtual-2", State::AccessDenied, vendor, {}, {}},
                         {silent, "virtual-3", State::NotAnswering, vendor, {}, {}},
                         {mini, "virtual-5", State::Identified, vendor, "QK100501", "V2.0.0.0"},
                         {notPermitted, "virtual-6", State::AccessDenied, vendor, {}, {}},
                         {broken, "virtual-7", State::NotAnswering, vendor, {}, {}},
                         {mute, "virtual-8", State::NotAnswering, vendor, {}, {}}}));
    EXPECT_FALSE(service.isOpen(mute));
}
