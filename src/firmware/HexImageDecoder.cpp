#include "firmware/HexImageDecoder.h"

#include "firmware/CharacterBoundaries.h"
#include "firmware/LineSplitter.h"
#include "support/HexText.h"

// The record type sits at characters 7 and 8 of ":LLAAAATT"; the payload follows and the last two
// characters are the record checksum.
static constexpr qsizetype typeFirst = 7;
static constexpr qsizetype typeSecond = 8;
static constexpr qsizetype payloadStart = 9;
static constexpr qsizetype checksumLength = 2;

static int hexDigitValue(QStringView character) {
    return character.size() == 1 ? HexText::digitValue(character[0]) : -1;
}

static constexpr auto isAscii = &CharacterBoundaries::isAscii;

QByteArray HexImageDecoder::decodeHexImage(QStringView text) {
    QByteArray image;
    // Two digits per byte, so half the text is always enough and the buffer never moves.
    image.reserve(text.size() / 2);
    LineSplitter::forEachImageLine(
        text, [&image](QStringView line) { appendRecordPayload(line, image); });
    return image;
}

std::optional<QByteArray> HexImageDecoder::hexStringToBytes(QStringView text) {
    QByteArray bytes;
    if (appendAsciiPairs(text, bytes))
        return bytes;
    const CharacterBoundaries characters(text);
    const qsizetype count = characters.count();
    for (qsizetype i = 0; i + 1 < count; i += 2) {
        const int high = hexDigitValue(characters.character(i));
        const int low = hexDigitValue(characters.character(i + 1));
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(static_cast<char>(high << 4 | low));
    }
    return bytes;
}

void HexImageDecoder::appendRecordPayload(QStringView line, QByteArray& image) {
    const qsizetype size = line.size();
    if (size < payloadStart)
        return;

    // Fast path for plain ASCII records, where units are characters. The first payload unit counts
    // too: a combining mark there would merge into the type's second digit.
    bool asciiFrame = isAscii(line[size - 1]) && isAscii(line[size - 2]);
    for (qsizetype i = 0; asciiFrame && i < qMin(size, payloadStart + 1); ++i)
        asciiFrame = isAscii(line[i]);
    if (asciiFrame) {
        if (line[typeFirst] != u'0' || line[typeSecond] != u'0' ||
            size <= payloadStart + checksumLength)
            return;
        if (appendAsciiPairs(line.sliced(payloadStart, size - payloadStart - checksumLength),
                             image))
            return;
    }

    const CharacterBoundaries characters(line);
    const qsizetype count = characters.count();
    if (count < payloadStart || hexDigitValue(characters.character(typeFirst)) != 0 ||
        hexDigitValue(characters.character(typeSecond)) != 0)
        return;
    if (const auto payload =
            hexStringToBytes(characters.characters(payloadStart, count - checksumLength)))
        image.append(*payload);
}

// Decodes when every pair is two ASCII hexadecimal digits and a leftover odd unit is ASCII (a
// character of its own); otherwise leaves `out` as it was, for the caller to decide by characters.
bool HexImageDecoder::appendAsciiPairs(QStringView digits, QByteArray& out) {
    const qsizetype pairs = digits.size() / 2;
    if (digits.size() % 2 != 0 && !isAscii(digits[digits.size() - 1]))
        return false;
    const qsizetype oldSize = out.size();
    out.resize(oldSize + pairs);
    char* target = out.data() + oldSize;
    const QChar* source = digits.data();
    for (qsizetype i = 0; i < pairs; ++i) {
        const int high = HexText::digitValue(source[2 * i]);
        const int low = HexText::digitValue(source[2 * i + 1]);
        if ((high | low) < 0) {
            out.resize(oldSize);
            return false;
        }
        target[i] = static_cast<char>(high << 4 | low);
    }
    return true;
}
