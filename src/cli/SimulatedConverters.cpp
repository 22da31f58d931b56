#include "cli/SimulatedConverters.h"

#include <QTimer>
#include <cerrno>

#include "core/ReleaseVersion.h"

std::function<void(const QByteArray& image, const QString& version)>
SimulatedConverters::plugIn(SimulatedHidService& service,
                            const CliArguments::Simulation& simulation) {
    const VirtualConverter::Identity models[] = {{"QK100201", 0x01000005, false},
                                                 {"QK100301", 0x01000003, false}};
    std::vector<std::shared_ptr<VirtualConverter>> converters;
    for (int index = 0; index < simulation.converters; ++index) {
        auto converter = std::make_shared<VirtualConverter>(models[index % 2]);
        VirtualConverter::Faults faults;
        faults.wrongFinalChecksum = simulation.wrongFinalChecksum;
        converter->setFaults(faults);
        SimulatedDeviceFaults link;
        link.replyDelay = std::chrono::milliseconds{simulation.replyDelayMs};
        link.unplugAfterDataPackets = simulation.unplugAfter;
        link.unplugAwaitingDataPacket = simulation.unplugAwaiting;
        if (simulation.refuseOpen && index == simulation.converters - 1)
            link.openError = -EACCES;
        converters.push_back(converter);
        const auto plug = [&service, converter, link] {
            service.plugIn(converter, SimulatedHidService::loaderIdentity, link);
        };
        if (simulation.plugAfterMs)
            QTimer::singleShot(*simulation.plugAfterMs, plug);
        else
            plug();
    }
    return [converters](const QByteArray& image, const QString& version) {
        if (const std::optional<uint32_t> number = ReleaseVersion::number(version))
            for (const auto& converter : converters)
                converter->setImageVersion(image, *number);
    };
}
