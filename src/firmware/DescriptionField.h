#pragma once

#include <QStringView>
#include <optional>

// One comma-separated field of a firmware description line. Release files are typed by hand, so a
// field's kind is recognised loosely (surrounding white space and case do not matter), while its
// value is always used exactly as written.
class DescriptionField {
public:
    static bool isVersionField(QStringView field);   // "v1.0.2"
    static bool isChecksumField(QStringView field);  // "0x2a"
    static bool isImageFileField(QStringView field); // "fw.hex"

    // Every "0x" (lower-case x only) is removed, then the rest must be a signed 64-bit number in
    // hexadecimal with an optional sign and nothing else: no white space, nothing empty.
    static std::optional<qint64> parseChecksumField(QStringView field);
};
