#include "protocol/FirmwareTransfer.h"

#include "protocol/Commands.h"

#include <algorithm>

namespace {
constexpr int progressSteps = 20;
}

FirmwareTransfer::FirmwareTransfer(Feedback feedback) : feedback_(std::move(feedback)) {}

bool FirmwareTransfer::upgradeFW(USBHidManager* manager, const HidDeviceRef& device,
                                 int64_t& packNo, const std::optional<int64_t>& checkSum,
                                 QByteArrayView image) {
    if (!manager || !device)
        return false;
    // Refused before the device hears anything: an empty image would announce a length of 0
    // and leave the device waiting for data, and a longer one would need packet numbers beyond
    // the 16-bit field.
    if (image.isEmpty()) {
        showAlert(QStringLiteral("The firmware image is empty."));
        return false;
    }
    if (image.size() > maximumImageLength) {
        showAlert(QStringLiteral("The firmware image is too large (%1 bytes; the converter takes "
                                 "at most %2).")
                      .arg(image.size())
                      .arg(maximumImageLength));
        return false;
    }

    packNo = 0;
    if (!Commands::syncPackNo(*manager, device, packNo))
        return false;
    // The synchronisation closed the device again.
    if (manager->manager().openDevice(device) != 0)
        return false;
    manager->setupReportCallback(device);
    return sendImage(*manager, device, packNo, checkSum, image);
}

bool FirmwareTransfer::sendImage(USBHidManager& manager, const HidDeviceRef& device,
                                 int64_t& packNo, const std::optional<int64_t>& checkSum,
                                 QByteArrayView image) {
    const qsizetype length = image.size();
    qsizetype offset = 0;
    int shownFrame = 0;
    while (true) {
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
            return false;

        const std::optional<QByteArray> reply =
            manager.sendAndReceiveReport(device, packNo, *request);
        if (!reply)
            return false;

        if (offset == length)
            return finalChecksumMatches(*reply, checkSum);

        if (!Commands::checkPackChecksum(*reply, *request)) {
            showAlert(QStringLiteral("Checksum is wrong."));
            return false;
        }

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
        return false;
    }
    showProgressPicture(progressSteps);
    return true;
}

void FirmwareTransfer::showProgressPicture(int frame) {
    if (feedback_.showProgressPicture)
        feedback_.showProgressPicture(QString::number(frame));
}

void FirmwareTransfer::showAlert(const QString& informativeText) {
    if (feedback_.showAlert)
        feedback_.showAlert(alertMessageText.toString(), informativeText,
                            alertButtonTitle.toString());
}

QString FirmwareTransfer::hex4(int64_t value) {
    return QStringLiteral("0x").append(
        QString::number(value, 16).toUpper().rightJustified(4, u' '));
}
