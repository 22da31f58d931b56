#include "core/ConverterUpdate.h"

#include "protocol/Commands.h"

ConverterUpdate::ConverterUpdate(USBHidManager& manager, FirmwareTransfer::Feedback feedback,
                                 FirmwareTransfer::PacketProgress packetProgress)
    : manager_(manager), feedback_(std::move(feedback)),
      packetProgress_(std::move(packetProgress)) {}

ConverterUpdate::Outcome ConverterUpdate::update(ConverterIdentity& identity,
                                                 const ReleaseImage& release) {
    FirmwareTransfer transfer(feedback_);
    transfer.setPacketProgress(packetProgress_);
    Outcome outcome;
    outcome.confirmed = transfer.upgradeFW(&manager_, identity.device, identity.packNo,
                                           release.checkSum, release.image);
    outcome.failure = transfer.failure();
    // Sent whatever the outcome, so the device leaves its upgrade state either way; a converter
    // that has been pulled out hears nothing.
    if (!manager_.isRemoved(identity.device))
        Commands::endUpgradeFW(manager_, identity.device, identity.packNo);
    return outcome;
}
