#pragma once

#include "KernelHidEndpoint.h"
#include "sim/VirtualConverter.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

// How converter-device presents the virtual converter: through which kernel interface, under
// which identity, with which firmware answers and faults, and when it unplugs itself.
struct ConverterDeviceOptions {
    enum class Transport { Uhid, Gadget };

    Transport transport = Transport::Uhid;
    KernelHidIdentity usbIdentity;
    VirtualConverter::Identity firmware;
    VirtualConverter::Faults faults;
    // After a confirmed update with the image of this HEX file, the version reported instead.
    QString releaseHexFile;
    uint32_t releaseVersion = 0;
    std::chrono::milliseconds replyDelay{0};
    std::optional<int64_t> replyDelayAtPackNo; // only this reply is late; absent: every reply
    std::optional<int> unplugAfterDataPackets; // answer this many data packets, then unplug
    // Take in this data packet (1-based) and unplug without answering it.
    std::optional<int> unplugAwaitingDataPacket;
    // The updater dies (SIGKILL to this process) when this data packet (1-based) arrives.
    std::optional<int> killAtDataPacket;
    std::optional<int64_t> killPid;
    QString readyFile;         // receives the hidraw node once it is usable
    QString receivedImageFile; // receives the image bytes when the device goes

    // Absent (with the reason in `error`) for unknown options or malformed values.
    static std::optional<ConverterDeviceOptions> parse(const QStringList& arguments,
                                                       QString* error);
};
