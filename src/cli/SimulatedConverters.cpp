#include "cli/SimulatedConverters.h"

#include <QRegularExpression>
#include <cerrno>
#include <memory>

std::optional<uint32_t> SimulatedConverters::versionNumber(const QString& version) {
    static const QRegularExpression pattern(R"(^V(\d+)\.(\d+)\.(\d+)\.(\d+)$)");
    const QRegularExpressionMatch match = pattern.match(version);
    if (!match.hasMatch())
        return std::nullopt;
    uint32_t number = 0;
    for (int part = 1; part <= 4; ++part) {
        const uint32_t value = match.captured(part).toUInt();
        if (value > 0xFF)
            return std::nullopt;
        number = number << 8 | value;
    }
    return number;
}

void SimulatedConverters::plugIn(SimulatedHidService& service,
                                 const CliArguments::Simulation& simulation,
                                 const std::optional<QString>& installing) {
    const VirtualConverter::Identity models[] = {{"QK100201", 0x01000005, false},
                                                 {"QK100301", 0x01000003, false}};
    for (int index = 0; index < simulation.converters; ++index) {
        auto converter = std::make_shared<VirtualConverter>(models[index % 2]);
        VirtualConverter::Faults faults;
        faults.wrongFinalChecksum = simulation.wrongFinalChecksum;
        converter->setFaults(faults);
        if (installing)
            converter->setVersionAfterUpdate(versionNumber(*installing));
        SimulatedDeviceFaults link;
        link.replyDelay = std::chrono::milliseconds{simulation.replyDelayMs};
        link.unplugAfterDataPackets = simulation.unplugAfter;
        link.unplugAwaitingDataPacket = simulation.unplugAwaiting;
        if (simulation.refuseOpen && index == simulation.converters - 1)
            link.openError = -EACCES;
        service.plugIn(converter, SimulatedHidService::loaderIdentity, link);
    }
}
