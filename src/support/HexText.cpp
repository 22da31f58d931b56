#include "support/HexText.h"

QString HexText::zeroFilled(uint32_t value) {
    return QString::number(value, 16).toUpper().rightJustified(4, u'0');
}

QString HexText::blankFilled(int64_t value) {
    return QStringLiteral("0x").append(
        QString::number(value, 16).toUpper().rightJustified(4, u' '));
}
