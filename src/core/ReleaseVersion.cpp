#include "core/ReleaseVersion.h"

#include <QRegularExpression>

std::optional<uint32_t> ReleaseVersion::number(const QString& version) {
    static const QRegularExpression pattern(R"(^V(\d+)\.(\d+)\.(\d+)\.(\d+)$)");
    const QRegularExpressionMatch match = pattern.match(version);
    if (!match.hasMatch())
        return std::nullopt;
    uint32_t number = 0;
    for (int part = 1; part <= 4; ++part) {
        const uint32_t value = match.captured(part).toUInt();
        if (value > 0xFF)
            return std::nullopt;
        number = number << 8 | value;
    }
    return number;
}
