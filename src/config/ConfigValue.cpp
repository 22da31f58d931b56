#include "config/ConfigValue.h"

#include <charconv>
#include <string>

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

    // from_chars takes a "-" but not a "+", and reports values outside the range.
    std::string ascii = (text.front() == u'-' ? std::string("-") : std::string());
    ascii += digits.toLatin1().toStdString();
    int64_t value = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error != std::errc() || end != ascii.data() + ascii.size())
        return std::nullopt;
    return value;
}
