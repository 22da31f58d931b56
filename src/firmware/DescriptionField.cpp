#include "firmware/DescriptionField.h"

#include <QString>
#include <limits>

#include "firmware/CharacterBoundaries.h"
#include "support/HexText.h"

static QString kindKey(QStringView field) {
    return field.trimmed().toString().toLower();
}

bool DescriptionField::isVersionField(QStringView field) {
    return CharacterBoundaries::startsWith(kindKey(field), u"v");
}

bool DescriptionField::isChecksumField(QStringView field) {
    return CharacterBoundaries::startsWith(kindKey(field), u"0x");
}

bool DescriptionField::isImageFileField(QStringView field) {
    return CharacterBoundaries::contains(kindKey(field), u".hex");
}

std::optional<qint64> DescriptionField::parseChecksumField(QStringView field) {
    const QString digits = field.toString().remove(QStringLiteral("0x"));
    const bool negative = digits.startsWith(u'-');
    qsizetype at = negative || digits.startsWith(u'+') ? 1 : 0;
    if (at == digits.size())
        return std::nullopt;

    // The magnitude may reach 2^63 only for a negative number.
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    quint64 magnitude = 0;
    for (; at < digits.size(); ++at) {
        const int digit = HexText::digitValue(digits[at]);
        if (digit < 0 || magnitude > (limit - quint64(digit)) / 16)
            return std::nullopt;
        magnitude = magnitude * 16 + quint64(digit);
    }
    if (negative)
        return magnitude == limit ? std::numeric_limits<qint64>::min() : -qint64(magnitude);
    return qint64(magnitude);
}
