// The description file and the checksum fields in it: any text, any earlier checksum. A field is
// read as a checksum exactly when, with every "0x" removed, it is an optionally signed run of
// hexadecimal digits within the signed 64-bit range; this oracle is written independently.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "FuzzCheck.h"
#include "firmware/DescriptionField.h"
#include "firmware/DescriptionFile.h"
#include "firmware/DescriptionLine.h"

namespace {

std::optional<qint64> expectedChecksum(QStringView field) {
    QString rest = field.toString();
    rest.remove(QStringLiteral("0x"));
    bool negative = false;
    qsizetype i = 0;
    if (i < rest.size() && (rest[i] == QLatin1Char('+') || rest[i] == QLatin1Char('-'))) {
        negative = rest[i] == QLatin1Char('-');
        ++i;
    }
    if (i == rest.size()) {
        return std::nullopt;
    }
    // Magnitude up to 2^63, which only a negative number may reach.
    uint64_t magnitude = 0;
    for (; i < rest.size(); ++i) {
        const char16_t c = rest[i].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        }
        if (digit < 0 || magnitude > (uint64_t{1} << 59)) {
            return std::nullopt;
        }
        magnitude = magnitude * 16 + static_cast<uint64_t>(digit);
    }
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    if (magnitude > limit) {
        return std::nullopt;
    }
    return negative ? static_cast<qint64>(0 - magnitude) : static_cast<qint64>(magnitude);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const std::optional<qint64> earlier = 7;
    (void)DescriptionFile::applyChecksumFile(text, earlier);
    (void)DescriptionFile::applyChecksumFile(text, std::nullopt);

    for (const QStringView line : DescriptionFile::releaseLines(text)) {
        FUZZ_CHECK(!DescriptionLine::isComment(line));
        for (const QStringView field : DescriptionLine::fields(line)) {
            FUZZ_CHECK(!field.isEmpty());
            FUZZ_CHECK(DescriptionField::parseChecksumField(field) == expectedChecksum(field));
        }
    }
    return 0;
}
