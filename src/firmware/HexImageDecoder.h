#pragma once

#include <QByteArray>
#include <QStringView>
#include <optional>

// Turns the text of a HEX image into the bytes the converter receives: the payloads of the data
// records, back to back in file order. The loader writes the image contiguously from its own start
// address, so addresses, gaps, byte counts and record checksums carry nothing it needs and are not
// examined. Any other record type, the end-of-file record included, is passed over.
class HexImageDecoder {
public:
    // Never fails; an image text without data records gives an empty image.
    static QByteArray decodeHexImage(QStringView text);
    // Pairs of hexadecimal digits to bytes; a trailing odd digit is ignored, and a pair that is not
    // hexadecimal makes the whole text absent.
    static std::optional<QByteArray> hexStringToBytes(QStringView text);

private:
    static void appendRecordPayload(QStringView line, QByteArray& image);
    static bool appendAsciiPairs(QStringView digits, QByteArray& out);
};
