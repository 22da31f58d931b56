#include "protocol/Commands.h"

#include "support/DiagnosticLog.h"
#include "support/HexText.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr QStringView logClass = u"Commands";

constexpr uint8_t syncPackNoCode = 0xA4;
constexpr uint8_t getFWInfoCode = 0xA6;
constexpr uint8_t endUpgradeFWCode = 0xAB;
constexpr uint8_t firstDataCode = 0xA0;
constexpr uint8_t continuationDataCode = 0x00;

uint8_t byteAt(const QByteArray& bytes, int index) {
    return static_cast<uint8_t>(bytes[index]);
}

QByteArray emptyRequest(uint8_t code) {
    QByteArray request(Commands::reportSize, '\0');
    request[0] = static_cast<char>(code);
    return request;
}

// A number that does not fit its field is refused rather than cut: a truncated number would go
// out as some other packet's number.
bool fits(int64_t value, int64_t max) {
    return value >= 0 && value <= max;
}

void putLittleEndian(QByteArray& request, int offset, int64_t value, int size) {
    for (int i = 0; i < size; ++i)
        request[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::optional<QByteArray> shortRequest(uint8_t code, int64_t packNo) {
    if (!fits(packNo, 0xFF))
        return std::nullopt;
    QByteArray request = emptyRequest(code);
    request[4] = static_cast<char>(packNo);
    return request;
}

// Eight bytes decoded as ASCII, if the reply holds them and they name a converter ("qk..." once
// blanks are stripped and case ignored). The text keeps the device's blanks and case.
std::optional<QString> partNumberCandidate(const QByteArray& reply, int offset) {
    const QByteArray field = reply.mid(offset, 8);
    const QString text = QString::fromLatin1(field);
    if (field.size() < 8 ||
        !std::ranges::all_of(field, [](char c) { return static_cast<uint8_t>(c) < 0x80; }) ||
        !text.trimmed().toLower().startsWith(u"qk"))
        return std::nullopt;
    return text;
}

} // namespace

bool Commands::syncPackNo(USBHidManager& manager, const HidDeviceRef& device, int64_t& packNo) {
    DiagnosticLog::write(logClass, 14, u"syncPackNo(_:_:_:)");
    if (!device || manager.manager().openDevice(device) != 0)
        return false;
    manager.setupReportCallback(device);

    std::optional<QByteArray> reply;
    if (std::optional<QByteArray> request = shortRequest(syncPackNoCode, packNo)) {
        (*request)[8] = (*request)[4];
        reply = manager.sendAndReceiveReport(device, packNo, *request);
    }
    manager.closeUsbDevice(device);
    return reply.has_value();
}

std::optional<QByteArray> Commands::getFWInfo(USBHidManager& manager, const HidDeviceRef& device,
                                              int64_t& packNo) {
    DiagnosticLog::write(logClass, 33, u"getFWInfo(_:_:_:)");
    if (!device || manager.manager().openDevice(device) != 0)
        return std::nullopt;
    manager.setupReportCallback(device);

    std::optional<QByteArray> request = shortRequest(getFWInfoCode, packNo);
    if (!request)
        return std::nullopt;
    (*request)[8] = 'Q';
    (*request)[9] = 'K';
    return manager.sendAndReceiveReport(device, packNo, *request);
}

void Commands::endUpgradeFW(USBHidManager& manager, const HidDeviceRef& device, int64_t& packNo) {
    DiagnosticLog::write(logClass, 52, u"endUpgradeFW(_:_:_:)");
    if (!device || manager.manager().openDevice(device) != 0)
        return;
    manager.setupReportCallback(device);

    // Unlike a data packet, the end of the upgrade must always reach the device: after the
    // largest image (32 767 data packets) the counter stands at 65 536, one past the field. The
    // field then carries the counter's low 16 bits, as a 16-bit counter on the device wraps.
    bool sent = false;
    if (packNo >= 0) {
        QByteArray request = emptyRequest(endUpgradeFWCode);
        putLittleEndian(request, 4, packNo & 0xFFFF, 2);
        sent = manager.sendReport(device, request);
    }
    DiagnosticLog::write(
        QStringLiteral("[endUpgradeFW(_:_:_:)] Result: ").append(sent ? u"true" : u"false"));
}

std::optional<QByteArray> Commands::firstDataPacket(int64_t packNo, QByteArrayView image) {
    if (!fits(packNo, 0xFFFF))
        return std::nullopt;
    QByteArray request = emptyRequest(firstDataCode);
    putLittleEndian(request, 4, packNo, 2);
    putLittleEndian(request, 12, image.size() & 0xFFFFFF, 3);
    const qsizetype payload = std::min<qsizetype>(image.size(), firstPacketPayload);
    if (payload > 0)
        std::memcpy(request.data() + 16, image.data(), static_cast<size_t>(payload));
    return request;
}

std::optional<QByteArray> Commands::continuationDataPacket(int64_t packNo, QByteArrayView chunk) {
    if (!fits(packNo, 0xFFFF) || chunk.size() > continuationPayload)
        return std::nullopt;
    QByteArray request = emptyRequest(continuationDataCode);
    putLittleEndian(request, 4, packNo, 2);
    if (!chunk.isEmpty())
        std::memcpy(request.data() + 8, chunk.data(), static_cast<size_t>(chunk.size()));
    return request;
}

bool Commands::checkPackChecksum(const QByteArray& reply, const QByteArray& request) {
    int64_t sent = 0;
    for (char c : request)
        sent += static_cast<uint8_t>(c);
    // A reply too short to carry the field has no checksum, which never matches.
    const bool hasField = reply.size() >= 2;
    const int64_t read = hasField ? byteAt(reply, 0) + 256 * byteAt(reply, 1) : -1;
    DiagnosticLog::write(
        QStringLiteral("Write Checksum: ")
            .append(HexText::blankFilled(sent))
            .append(u", Read Checksum: ")
            .append(hasField ? HexText::blankFilled(read) : QStringLiteral("none")));
    return hasField && read == sent;
}

std::optional<QString> Commands::getPartNumber(const QByteArray& reply) {
    if (std::optional<QString> first = partNumberCandidate(reply, 9))
        return first;
    return partNumberCandidate(reply, 24);
}

std::optional<QString> Commands::getFWVersion(const QByteArray& reply) {
    if (reply.size() < 48)
        return std::nullopt;
    const uint8_t b47 = byteAt(reply, 47), b46 = byteAt(reply, 46), b45 = byteAt(reply, 45),
                  b44 = byteAt(reply, 44);
    if ((b47 | b46 | b45 | b44) == 0x00 || (b47 & b46 & b45 & b44) == 0xFF)
        return std::nullopt;
    return QStringLiteral("V%1.%2.%3.%4").arg(b47).arg(b46).arg(b45).arg(b44);
}
