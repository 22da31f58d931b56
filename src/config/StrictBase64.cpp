#include "config/StrictBase64.h"

std::optional<QByteArray> StrictBase64::decode(const QByteArray& text) {
    // Qt accepts missing padding even when asked to abort on errors; the length check refuses it.
    if (text.size() % 4 != 0)
        return std::nullopt;
    // With AbortOnBase64DecodingErrors, Qt refuses every byte outside the alphabet (white space
    // included) and padding anywhere but at the end.
    auto result = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (result.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
        return std::nullopt;
    return std::move(result.decoded);
}
