// The HEX image decoder on any text: it never fails, never reads past a line, and yields at most
// one byte per two characters.
#include <QByteArray>
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

    if (const auto bytes = HexImageDecoder::hexStringToBytes(text)) {
        FUZZ_CHECK(bytes->size() == text.size() / 2);
        // Decoding is exact: the bytes written back as hex give the digits read.
        const QString digits = text.left(bytes->size() * 2);
        FUZZ_CHECK(QString::fromLatin1(bytes->toHex()) == digits.toLower());
    }
    return 0;
}
