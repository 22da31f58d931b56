#pragma once

#include <QByteArray>
#include <cstdint>

// Bytes that differ from packet to packet, so a slice taken from the wrong offset shows.
inline QByteArray patternedImage(qsizetype size) {
    QByteArray image(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return image;
}

// The image as HEX records of 16 bytes, closed by the end-of-file record.
inline QByteArray hexText(const QByteArray& image) {
    QByteArray text;
    for (qsizetype at = 0; at < image.size(); at += 16) {
        const QByteArray data = image.mid(at, 16);
        QByteArray record =
            QByteArray(1, char(data.size())) + char(at >> 8) + char(at) + '\0' + data;
        uint8_t sum = 0;
        for (char c : record)
            sum += static_cast<uint8_t>(c);
        text += ':' + (record + char(-sum)).toHex().toUpper() + "\r\n";
    }
    return text + ":00000001FF\r\n";
}
