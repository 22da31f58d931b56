#include "protocol/FirmwareTransfer.h"

#include "protocol/Commands.h"
#include "support/HexText.h"

#include <algorithm>

namespace {
// What to do after the converter itself failed: it is back in loader mode only after a new
// start, and the search finds it only once the failure is confirmed.
const QString retryOnDevice =
    QStringLiteral(" Plug the converter in again in loader mode, press Confirm and start again.");
// What to do when the release cannot be sent at all.
const QString chooseAnother = QStringLiteral(" Press Confirm and choose another version.");

// The data packets an image of `length` bytes takes.
qsizetype dataPacketCount(qsizetype length) {
    const qsizetype rest = std::max<qsizetype>(0, length - Commands::firstPacketPayload);
    return 1 + (rest + Commands::continuationPayload - 1) / Commands::continuationPayload;
}

// "0x" and four upper-case hexadecimal digits, as a user would compare them by eye.
QString checksumText(int64_t value) {
    return QStringLiteral("0x").append(HexText::zeroFilled(static_cast<uint16_t>(value)));
}
} // namespace

FirmwareTransfer::FirmwareTransfer(Feedback feedback) : feedback_(std::move(feedback)) {}

bool FirmwareTransfer::upgradeFW(USBHidManager* manager, const HidDeviceRef& device,
                                 int64_t& packNo, const std::optional<int64_t>& checkSum,
                                 QByteArrayView image) {
    failureReason_.clear();
    if (!manager || !device)
        return fail(QStringLiteral("No converter was connected.").append(retryOnDevice));
    // Refused before the device hears anything: an empty image would announce a length of 0
    // and leave the device waiting for data, and a longer one would need packet numbers beyond
    // the 16-bit field.
    if (image.isEmpty()) {
        showAlert(QStringLiteral("The firmware image is empty."));
        return fail(
            QStringLiteral("The firmware image of this version is empty.").append(chooseAnother));
    }
    if (image.size() > maximumImageLength) {
        showAlert(QStringLiteral("The firmware image is too large (%1 bytes; the converter takes "
                                 "at most %2).")
                      .arg(image.size())
                      .arg(maximumImageLength));
        return fail(QStringLiteral("The firmware image is too large: %1 bytes, where the converter "
                                   "takes at most %2.")
                        .arg(image.size())
                        .arg(maximumImageLength)
                        .append(chooseAnother));
    }

    packNo = 0;
    if (!Commands::syncPackNo(*manager, device, packNo))
        return fail((manager->isRemoved(device)
                         ? QStringLiteral("The converter was unplugged as the transfer began.")
                         : QStringLiteral("The converter did not answer when the transfer began."))
                        .append(retryOnDevice));
    // The synchronisation closed the device again.
    if (manager->manager().openDevice(device) != 0)
        return fail(QStringLiteral("The converter could not be opened for the transfer.")
                        .append(retryOnDevice));
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
        const QString ofAll = QStringLiteral("%1 of %2").arg(packet).arg(packets);
        // Each packet is built fresh from its slice of the image; the image itself is never
        // copied. An image shorter than the first packet's 48 bytes goes out padded in it.
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
        if (!request)
            return fail(QStringLiteral("Packet %1 could not be prepared.").arg(ofAll));

        const std::optional<QByteArray> reply =
            manager.sendAndReceiveReport(device, packNo, *request);
        if (!reply) {
            const QString what =
                manager.isRemoved(device)
                    ? QStringLiteral("The converter was unplugged during the update, at packet %1.")
                    : QStringLiteral("The converter stopped answering at packet %1.");
            return fail(what.arg(ofAll).append(retryOnDevice));
        }

        if (offset == length) {
            showPacketProgress(packet, packets);
            return finalChecksumMatches(*reply, checkSum);
        }

        if (!Commands::checkPackChecksum(*reply, *request)) {
            showAlert(QStringLiteral("Checksum is wrong."));
            return fail(QStringLiteral("The converter reported a wrong checksum for packet %1.")
                            .arg(ofAll)
                            .append(retryOnDevice));
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
                                            const std::optional<int64_t>& checkSum) {
    // A reply too short to carry the field has no checksum, which never matches.
    const bool hasField = reply.size() >= 10;
    const int64_t reported =
        hasField ? static_cast<uint8_t>(reply[8]) + 256 * static_cast<uint8_t>(reply[9]) : -1;
    if (!hasField || !checkSum || *checkSum != reported) {
        showAlert(QStringLiteral("Final Checksum: ")
                      .append(hasField ? hex4(reported) : QStringLiteral("none"))
                      .append(u"\nFinal Checksum is wrong."));
        QString what;
        if (!hasField)
            what = QStringLiteral("The converter reported no final checksum");
        else
            what = QStringLiteral("The final checksum was %1").arg(checksumText(reported));
        if (checkSum)
            what.append(QStringLiteral(" where %1 was expected.").arg(checksumText(*checkSum)));
        else
            what.append(QStringLiteral(", and this version gives none to compare it with."));
        // Sending the same release again cannot help when it has nothing to compare with.
        return fail(what.append(checkSum ? retryOnDevice : chooseAnother));
    }
    showProgressPicture(progressSteps);
    return true;
}

void FirmwareTransfer::showProgressPicture(int frame) {
    if (feedback_.showProgressPicture)
        feedback_.showProgressPicture(QString::number(frame));
}

bool FirmwareTransfer::fail(const QString& reason) {
    failureReason_ = reason;
    return false;
}

void FirmwareTransfer::showPacketProgress(qsizetype packet, qsizetype packets) {
    if (packetProgress_)
        packetProgress_(packet, packets);
}

void FirmwareTransfer::showAlert(const QString& informativeText) {
    if (feedback_.showAlert)
        feedback_.showAlert(alertMessageText.toString(), informativeText,
                            alertButtonTitle.toString());
}

QString FirmwareTransfer::hex4(int64_t value) {
    return HexText::blankFilled(value);
}
