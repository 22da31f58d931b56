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
    EXPECT_TRUE(search.identifyAll().empty());

    auto plug = [&](const QByteArray& partNumber, uint32_t version,
                    VirtualConverter::Faults faults = {}, SimulatedDeviceFaults link = {}) {
        auto converter = std::make_shared<VirtualConverter>(
            VirtualConverter::Identity{partNumber, version, false});
        converter->setFaults(faults);
        return service.plugIn(converter, loader, link);
    };
    SimulatedDeviceFaults mayNotOpen;
    mayNotOpen.openError = -EACCES;
    VirtualConverter::Faults onlySynchronises;
    onlySynchronises.ignoreGetFWInfo = true;
    const HidDeviceRef pro = plug("QK100201", 0x01020304);
    const HidDeviceRef refused = plug("QK100301", 0, {}, mayNotOpen);
    const HidDeviceRef silent = plug("QK100401", 0, onlySynchronises);
    service.plugInUnrelatedDevice({0x046D, 0xC52B}); // not a converter: never listed
    const HidDeviceRef mini = plug("QK100501", 0x02000000);

    const struct {
        HidDeviceRef device;
        QString node;
        State state;
        std::optional<QString> partNumber, version;
    } rows[]{
        {pro, "virtual-1", State::Identified, "QK100201", "V1.2.3.4"},
        {refused, "virtual-2", State::AccessDenied, {}, {}},
        {silent, "virtual-3", State::NotAnswering, {}, {}},
        {mini, "virtual-5", State::Identified, "QK100501", "V2.0.0.0"},
    };
    const std::vector<ConverterSearch::Finding> found = search.identifyAll();
    ASSERT_EQ(found.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].node.toStdString());
        EXPECT_EQ(found[i].identity.device, rows[i].device);
        EXPECT_EQ(found[i].identity.node, rows[i].node);
        EXPECT_EQ(found[i].state, rows[i].state);
        EXPECT_EQ(found[i].identity.vendorId, loader.VendorID);
        EXPECT_EQ(found[i].identity.partNumber, rows[i].partNumber);
        EXPECT_EQ(found[i].identity.firmwareVersion, rows[i].version);
    }
}
