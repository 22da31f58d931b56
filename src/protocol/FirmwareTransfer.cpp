#include "protocol/FirmwareTransfer.h"

#include "protocol/Commands.h"
#include "support/HexText.h"

#include <algorithm>

namespace {
// The data packets an image of `length` bytes takes.
qsizetype dataPacketCount(qsizetype length) {
    const qsizetype rest = std::max<qsizetype>(0, length - Commands::firstPacketPayload);
    return 1 + (rest + Commands::continuationPayload - 1) / Commands::continuationPayload;
}
} // namespace

bool FirmwareTransfer::upgradeFW(USBHidManager* manager, const HidDeviceRef& device,
                                 int64_t& packNo, const std::optional<int64_t>& checkSum,
                                 QByteArrayView image) {
    failure_.reset();
    using Kind = Failure::Kind;
    if (!manager || !device)
        return fail({Kind::NoConverter});
    // Refused before the device hears anything: an empty image would leave the device waiting for
    // data, and a longer one would need packet numbers beyond the 16-bit field.
    if (image.isEmpty())
        return fail({Kind::EmptyImage});
    if (image.size() > maximumImageLength)
        return fail({.kind = Kind::ImageTooLarge, .imageBytes = image.size()});

    const qsizetype packets = dataPacketCount(image.size());
    packNo = 0;
    if (!Commands::syncPackNo(*manager, device, packNo))
        return fail(exchangeFailure(*manager, device, 0, packets));
    // The synchronisation closed the device again.
    if (manager->manager().openDevice(device) != 0)
        return fail({manager->isRemoved(device) ? Kind::Unplugged : Kind::NotOpened, 0, packets});
    manager->setupReportCallback(device);
    return sendImage(*manager, device, packNo, checkSum, image);
}

bool FirmwareTransfer::sendImage(USBHidManager& manager, const HidDeviceRef& device,
                                 int64_t& packNo, const std::optional<int64_t>& checkSum,
                                 QByteArrayView image) {
    const qsizetype length = image.size();
    const qsizetype packets = dataPacketCount(length);
    qsizetype offset = 0;
    int shownFrame = 0;
    for (qsizetype packet = 1;; ++packet) {
        // Each packet is built from its slice of the image; the image itself is never copied.
        std::optional<QByteArray> request;
        if (offset == 0) {
            request = Commands::firstDataPacket(packNo, image);
            offset = std::min<qsizetype>(length, Commands::firstPacketPayload);
        } else {
            const qsizetype chunk =
                std::min<qsizetype>(length - offset, Commands::continuationPayload);
            request = Commands::continuationDataPacket(packNo, image.sliced(offset, chunk));
            offset += chunk;
        }
        // Only a packet number past the 16-bit field, ruled out above, makes no packet.
        if (!request)
            return fail({.kind = Failure::Kind::ImageTooLarge, .imageBytes = length});

        const std::optional<QByteArray> reply =
            manager.sendAndReceiveReport(device, packNo, *request);
        if (!reply)
            return fail(exchangeFailure(manager, device, packet, packets));

        if (offset == length) {
            showPacketProgress(packet, packets);
            return finalChecksumMatches(*reply, checkSum, packets);
        }

        if (!Commands::checkPackChecksum(*reply, *request)) {
            showAlert(QStringLiteral("Checksum is wrong."));
            return fail({Failure::Kind::PacketChecksum, packet, packets});
        }
        showPacketProgress(packet, packets);

        const int frame = static_cast<int>(int64_t{offset} * progressSteps / length);
        if (frame != shownFrame) {
            showProgressPicture(frame);
            shownFrame = frame;
        }
    }
}

bool FirmwareTransfer::finalChecksumMatches(const QByteArray& reply,
                                            const std::optional<int64_t>& checkSum,
                                            qsizetype packets) {
    // A reply too short to carry the field has no checksum, which never matches.
    std::optional<int64_t> reported;
    if (reply.size() >= 10)
        reported = static_cast<uint8_t>(reply[8]) + 256 * static_cast<uint8_t>(reply[9]);
    if (!reported || !checkSum || *checkSum != *reported) {
        showAlert(QStringLiteral("Final Checksum: ")
                      .append(reported ? HexText::blankFilled(*reported) : QStringLiteral("none"))
                      .append(u"\nFinal Checksum is wrong."));
        return fail({Failure::Kind::FinalChecksum, packets, packets, checkSum, reported});
    }
    showProgressPicture(progressSteps);
    return true;
}

FirmwareTransfer::Failure FirmwareTransfer::exchangeFailure(const USBHidManager& manager,
                                                            const HidDeviceRef& device,
                                                            qsizetype packet, qsizetype packets) {
    using Kind = Failure::Kind;
    using Exchange = USBHidManager::ExchangeFailure;
    const Exchange exchange =
        manager.isRemoved(device) ? Exchange::Unplugged : manager.lastExchangeFailure();
    const Kind kind = exchange == Exchange::Unplugged           ? Kind::Unplugged
                      : exchange == Exchange::WrongPacketNumber ? Kind::WrongPacketNumber
                      : exchange == Exchange::WriteFailed || exchange == Exchange::Refused
                          ? Kind::WriteFailed
                          : Kind::NoReply;
    return {kind, packet, packets};
}

void FirmwareTransfer::showProgressPicture(int frame) {
    if (feedback_.showProgressPicture)
        feedback_.showProgressPicture(QString::number(frame));
}

bool FirmwareTransfer::fail(Failure failure) {
    failure_ = failure;
    return false;
}

void FirmwareTransfer::showPacketProgress(qsizetype packet, qsizetype packets) {
    if (packetProgress_)
        packetProgress_(packet, packets);
}

void FirmwareTransfer::showAlert(const QString& informativeText) {
    if (feedback_.showAlert)
        feedback_.showAlert(QStringLiteral("Update Failed"), informativeText, QStringLiteral("OK"));
}
