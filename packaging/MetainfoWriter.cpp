#include "MetainfoWriter.h"

#include <QStringList>

namespace {

// The kernel's USB modalias writes the ids as upper-case hex: usb:v1209p0002d0100dc00...
QString upperHex4(uint16_t value) {
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

std::optional<QString> MetainfoWriter::fill(const QString& metainfoTemplate,
                                            const std::vector<DeviceIdentity>& identities) {
    static const QString placeholder = QStringLiteral("@MODALIASES@");
    QStringList lines = metainfoTemplate.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype at = lines[i].indexOf(placeholder);
        if (at < 0) {
            continue;
        }
        const QString indent = lines[i].left(at);
        lines.removeAt(i);
        for (const DeviceIdentity& identity : identities) {
            lines.insert(
                i++, QStringLiteral("%1<modalias>usb:v%2p%3d*</modalias>")
                         .arg(indent, upperHex4(identity.vendorId), upperHex4(identity.productId)));
        }
        return lines.join(QLatin1Char('\n'));
    }
    return std::nullopt;
}
