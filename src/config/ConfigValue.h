#pragma once

#include <QStringView>
#include <cstdint>
#include <optional>

// Turns the collected text of a configuration element into a typed field. Text fields need no
// conversion: they keep exactly what the document wrote, also when empty.
class ConfigValue {
public:
    // Lenient, as the configuration has always been read: leading white space, an optional sign
    // and any run of "0" are skipped; then "Y", "y", "T", "t" or "1".."9" means true. Everything
    // else, the empty text included, is false. The result is always present.
    static bool toBoolean(QStringView text);

    // Strict: an optional sign and one or more ASCII decimal digits, nothing else, within the
    // signed 64-bit range. Anything else (empty text, white space, "0x10") is absent.
    static std::optional<int64_t> toInteger(QStringView text);
};
