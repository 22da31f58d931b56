#include "core/ConverterUpdate.h"

#include "protocol/Commands.h"

ConverterUpdate::ConverterUpdate(USBHidManager& manager, FirmwareTransfer::Feedback feedback,
                                 FirmwareTransfer::PacketProgress packetProgress)
    : manager_(manager), transfer_(std::move(feedback), std::move(packetProgress)) {}

ConverterUpdate::Outcome ConverterUpdate::update(ConverterIdentity& identity,
                                                 const ReleaseImage& release) {
    const bool confirmed = transfer_.upgradeFW(&manager_, identity.device, identity.packNo,
                                               release.checkSum, release.image);
    if (!manager_.isRemoved(identity.device))
        Commands::endUpgradeFW(manager_, identity.device, identity.packNo);
    return {confirmed, transfer_.failure()};
}
