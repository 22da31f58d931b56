#include "config/StrictBase64.h"

std::optional<QByteArray> StrictBase64::decode(const QByteArray& text) {
    // Qt accepts missing padding even when asked to abort on errors; the length check refuses it.
    if (text.size() % 4 != 0)
        return std::nullopt;
    // Aborting, Qt refuses white space, any byte outside the alphabet and early padding.
    auto result = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (result.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
        return std::nullopt;
    return std::move(result.decoded);
}
