#include "support/HexText.h"

QString HexText::zeroFilled(uint32_t value) {
    return QString::number(value, 16).toUpper().rightJustified(4, u'0');
}

QString HexText::blankFilled(int64_t value) {
    return QStringLiteral("0x").append(
        QString::number(value, 16).toUpper().rightJustified(4, u' '));
}

int HexText::digitValue(QChar c) {
    const char16_t unit = c.unicode();
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    // Setting bit 5 folds 'A'..'F' onto 'a'..'f' and moves nothing else there.
    const char16_t lower = unit | 0x20;
    return lower >= u'a' && lower <= u'f' ? lower - u'a' + 10 : -1;
}
