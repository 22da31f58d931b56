#pragma once

#include <optional>

#include "core/ConverterIdentity.h"
#include "core/ReleaseImage.h"
#include "device/USBHidManager.h"
#include "protocol/FirmwareTransfer.h"

// Updates an identified converter: the transfer of the image, then the end command, sent whatever
// the outcome so the device leaves its upgrade state, unless the converter has been pulled out.
// The transfer waits on the event loop; the caller keeps other device work from starting meanwhile.
class ConverterUpdate {
public:
    struct Outcome {
        bool confirmed = false;
        // What went wrong; absent when confirmed.
        std::optional<FirmwareTransfer::Failure> failure;
    };

    // `manager` must outlive the update. The feedback shows the progress pictures and the
    // alerts; `packetProgress`, when given, counts the accepted packets.
    ConverterUpdate(USBHidManager& manager, FirmwareTransfer::Feedback feedback,
                    FirmwareTransfer::PacketProgress packetProgress = {});

    // Confirmed only when the converter reported the release's checksum for the whole image.
    // The identity's counter is left where the end command left it.
    Outcome update(ConverterIdentity& identity, const ReleaseImage& release);

private:
    USBHidManager& manager_;
    FirmwareTransfer transfer_;
};
