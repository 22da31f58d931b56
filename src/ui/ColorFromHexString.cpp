#include "ui/ColorFromHexString.h"

#include "support/HexText.h"

#include <cstdint>
#include <limits>

std::optional<QColor> colorFromHexString(const QString& text, double alpha) {
    QString digits = text.trimmed();
    digits.remove(QLatin1Char('#'));
    qsizetype pos = 0;
    // A 0x prefix counts only when a digit follows; otherwise the "0" is the number.
    if (digits.size() > 2 && digits[0] == QLatin1Char('0') &&
        (digits[1] == QLatin1Char('x') || digits[1] == QLatin1Char('X')) &&
        HexText::digitValue(digits[2]) >= 0)
        pos = 2;
    uint64_t value = 0;
    bool anyDigit = false;
    for (; pos < digits.size(); ++pos) {
        const int digit = HexText::digitValue(digits[pos]);
        if (digit < 0)
            break;
        anyDigit = true;
        // A number too long for 64 bits saturates, as a scanner of unsigned numbers does.
        constexpr uint64_t most = std::numeric_limits<uint64_t>::max();
        value = value > (most >> 4) ? most : (value << 4) | static_cast<uint64_t>(digit);
    }
    if (!anyDigit)
        return std::nullopt;
    return QColor::fromRgbF(static_cast<float>(((value >> 16) & 0xFF) / 255.0),
                            static_cast<float>(((value >> 8) & 0xFF) / 255.0),
                            static_cast<float>((value & 0xFF) / 255.0), static_cast<float>(alpha));
}
