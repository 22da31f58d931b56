#include "sim/VirtualConverter.h"

#include <algorithm>
#include <numeric>

namespace {

uint8_t byteAt(const QByteArray& bytes, int index) {
    return index < bytes.size() ? static_cast<uint8_t>(bytes[index]) : 0;
}

void putLittleEndian(QByteArray& bytes, int offset, uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

uint16_t VirtualConverter::checksum16(const QByteArray& bytes) {
    return static_cast<uint16_t>(
        std::accumulate(bytes.begin(), bytes.end(), 0u,
                        [](unsigned sum, char byte) { return sum + static_cast<uint8_t>(byte); }));
}

std::optional<QByteArray> VirtualConverter::handleOutputReport(const QByteArray& request) {
    const uint8_t command = byteAt(request, 0);
    const int64_t packNo = byteAt(request, 4) | (byteAt(request, 5) << 8);
    requests_.push_back({command, packNo, request});

    // A report of another size is not one this device's firmware understands.
    if (request.size() != reportSize)
        return std::nullopt;
    std::optional<QByteArray> reply = answer(request, command, packNo);
    if (!reply)
        return std::nullopt;
    // The request has been taken in; only its answer gets lost.
    if (faults_.neverReply || (faults_.noReplyFromPackNo && packNo >= *faults_.noReplyFromPackNo)) {
        transferIntact_ = false;
        return std::nullopt;
    }
    if (faults_.wrongPackNoAtPackNo == packNo) {
        transferIntact_ = false;
        putLittleEndian(*reply, 4, static_cast<uint32_t>(packNo), 3);
    }
    return reply;
}

std::optional<QByteArray> VirtualConverter::answer(const QByteArray& request, uint8_t command,
                                                   int64_t packNo) {
    QByteArray reply;
    switch (command) {
    case syncPackNoCode:
        reply = QByteArray(reportSize, '\0');
        break;
    case getFWInfoCode:
        if (faults_.ignoreGetFWInfo)
            return std::nullopt;
        reply = firmwareInfoReply();
        break;
    case firstDataCode:
    case continuationDataCode:
        reply = dataPacketReply(request, command, packNo);
        break;
    case endUpgradeFWCode:
        endUpgradePackNo_ = packNo;
        for (const auto& [image, version] : imageVersions_)
            if (transferIntact_ && imageComplete() && image == image_)
                identity_.firmwareVersion = version;
        transferIntact_ = false;
        return std::nullopt;
    default:
        return std::nullopt;
    }
    putLittleEndian(reply, 4, static_cast<uint32_t>(packNo + 1), 3);
    return reply;
}

QByteArray VirtualConverter::firmwareInfoReply() const {
    QByteArray reply(reportSize, '\0');
    const int partNumberOffset = identity_.partNumberInSecondField ? 24 : 9;
    if (identity_.partNumberInSecondField)
        reply.replace(9, 8, QByteArray(8, '\xFF'));
    const QByteArray partNumber = identity_.partNumber.left(8);
    reply.replace(partNumberOffset, partNumber.size(), partNumber);
    putLittleEndian(reply, 44, identity_.firmwareVersion, 4);
    return reply;
}

QByteArray VirtualConverter::dataPacketReply(const QByteArray& request, uint8_t command,
                                             int64_t packNo) {
    const bool wasComplete = imageComplete();
    if (command == firstDataCode) {
        // A first packet always starts a new image, whatever the previous transfer left.
        image_.clear();
        transferIntact_ = true;
        announcedLength_ =
            byteAt(request, 12) | (byteAt(request, 13) << 8) | (byteAt(request, 14) << 16);
        appendPayload(request, 16, firstPacketPayload);
    } else if (announcedLength_ && !wasComplete) {
        appendPayload(request, 8, continuationPayload);
    }
    // Continuation packets without a transfer under way are acknowledged but carry nothing.

    QByteArray reply(reportSize, '\0');
    uint16_t packetSum = checksum16(request);
    if (faults_.wrongChecksumAtPackNo == packNo) {
        ++packetSum;
        transferIntact_ = false;
    }
    putLittleEndian(reply, 0, packetSum, 2);

    const bool completedNow = imageComplete() && (command == firstDataCode || !wasComplete);
    if (completedNow) {
        uint16_t finalSum = checksum16(image_);
        if (faults_.wrongFinalChecksum) {
            ++finalSum;
            transferIntact_ = false;
        }
        putLittleEndian(reply, 8, finalSum, 2);
    }
    return reply;
}

void VirtualConverter::appendPayload(const QByteArray& request, int offset, int maximum) {
    const qsizetype missing = static_cast<qsizetype>(*announcedLength_) - image_.size();
    const qsizetype count = std::clamp<qsizetype>(missing, 0, maximum);
    image_.append(request.mid(offset, count));
}

bool VirtualConverter::imageComplete() const {
    return announcedLength_ && image_.size() >= static_cast<qsizetype>(*announcedLength_);
}

std::vector<uint8_t> VirtualConverter::commandSequence() const {
    std::vector<uint8_t> commands;
    for (const ReceivedRequest& request : requests_)
        commands.push_back(request.command);
    return commands;
}

void VirtualConverter::clearHistory() {
    requests_.clear();
    image_.clear();
    announcedLength_.reset();
    endUpgradePackNo_.reset();
}
