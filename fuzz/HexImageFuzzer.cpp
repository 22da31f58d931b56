// The HEX image decoder on any text: it never fails, never reads past a line, yields at most one
// byte per two characters, and decodes plain hex digits exactly.
#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "firmware/HexImageDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QByteArray image = HexImageDecoder::decodeHexImage(text);
    FUZZ_CHECK(image.size() <= text.size() / 2);

    // Pairs are counted in characters as a reader sees them (CR LF is one), so the text's UTF-16
    // length only bounds the result; for plain hex digits the result is exact.
    const auto bytes = HexImageDecoder::hexStringToBytes(text);
    if (bytes) {
        FUZZ_CHECK(bytes->size() <= text.size() / 2);
    }
    static const QRegularExpression hexDigits(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9A-Fa-f]*")));
    if (hexDigits.match(text).hasMatch()) {
        FUZZ_CHECK(bytes &&
                   *bytes == QByteArray::fromHex(text.left(text.size() / 2 * 2).toLatin1()));
    }
    return 0;
}
