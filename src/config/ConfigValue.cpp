#include "config/ConfigValue.h"

#include <QString>

bool ConfigValue::toBoolean(QStringView text) {
    qsizetype at = 0;
    while (at < text.size() && text[at].isSpace())
        ++at;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
        ++at;
    while (at < text.size() && text[at] == u'0')
        ++at;
    if (at == text.size())
        return false;
    const char16_t decisive = text[at].unicode();
    return decisive == u'Y' || decisive == u'y' || decisive == u'T' || decisive == u't' ||
           (decisive >= u'1' && decisive <= u'9');
}

std::optional<int64_t> ConfigValue::toInteger(QStringView text) {
    QStringView digits = text;
    if (!digits.isEmpty() && (digits.front() == u'+' || digits.front() == u'-'))
        digits = digits.mid(1);
    if (digits.isEmpty())
        return std::nullopt;
    for (QChar c : digits) {
        // Only ASCII digits: QChar::isDigit would also let other scripts' digits through.
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return std::nullopt;
    }
    bool inRange = false;
    const qlonglong value = text.toString().toLongLong(&inRange);
    return inRange ? std::optional<int64_t>(value) : std::nullopt;
}
