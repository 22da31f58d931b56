#include <gtest/gtest.h>

#include <QStringList>

#include "firmware/HexImageDecoder.h"

static QByteArray decode(const QString& text) {
    return HexImageDecoder::decodeHexImage(text);
}

TEST(HexImageDecoder, TakesOnlyDataRecordPayloadsInFileOrder) {
    EXPECT_EQ(decode(":0400000001020304F2"), QByteArray::fromHex("01020304"));
    EXPECT_EQ(decode(":00000001FF"), QByteArray());
    EXPECT_EQ(decode(":020000040800F2"), QByteArray());

    // Addresses are not followed: two blocks with a gap come out back to back, and a data record
    // after the end-of-file record still counts.
    const QString image = QStringLiteral(":020000040800F2\n"
                                         ":0400000011223344EE\n"
                                         ":0280000055661D\n"
                                         ":00000001FF\n"
                                         ":0100100077FF\n");
    EXPECT_EQ(decode(image), QByteArray::fromHex("11223344556677"));
}

TEST(HexImageDecoder, IgnoresStartCharacterCountAddressAndRecordChecksum) {
    EXPECT_EQ(decode("xxxxxxx00AABB"), QByteArray::fromHex("AA"));
    EXPECT_EQ(decode("#0400000001020304F2"), QByteArray::fromHex("01020304"));
    EXPECT_EQ(decode(":FF00000001020304FF"), QByteArray::fromHex("01020304")) << "wrong count";
    EXPECT_EQ(decode(":040000000102030400"), QByteArray::fromHex("01020304")) << "wrong checksum";
    // Too short to be a record, or a payload left empty once the checksum is cut off.
    EXPECT_EQ(decode(":0000000\n:00000000\n:000000000\n:0000000000A"), QByteArray());
}

TEST(HexImageDecoder, BadPayloadAddsNothingAndAnOddDigitIsDropped) {
    const QString image = QStringLiteral(":0200000011227A\n"
                                         ":02000000G3449A\n"
                                         ":02000000556671\n"
                                         ":02000000778EF\n");
    EXPECT_EQ(decode(image), QByteArray::fromHex("1122556677"));
}

TEST(HexImageDecoder, LineEndsOfAnyKindGiveTheSameImage) {
    const QStringList records{":0400000001020304F2", ":0200040005069A", ":00000001FF"};
    const QByteArray expected = QByteArray::fromHex("010203040506");
    for (const QString& separator :
         {QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\r\n"),
          QStringLiteral("\r\n\r\n\n"), QString(QChar(0x85)), QString(QChar(0x2028)),
          QString(QChar(0x2029)), QStringLiteral("\v"), QStringLiteral("\f")})
        EXPECT_EQ(decode(records.join(separator) + separator), expected)
            << "separator U+" << int(separator[0].unicode());
}

TEST(HexImageDecoder, CountsPositionsInCharactersForNonAsciiText) {
    // An emoji is two UTF-16 units but one character: the record still reads 01 02 03 04.
    EXPECT_EQ(decode(QStringLiteral("😀0400000001020304F2")), QByteArray::fromHex("01020304"));
    // A combining accent on the type's second digit makes it a different character.
    EXPECT_EQ(decode(QStringLiteral(":04000000\u030101020304F2")), QByteArray());
    // Anything in the checksum position is cut off unread.
    EXPECT_EQ(decode(QStringLiteral(":0400000001020304Fé")), QByteArray::fromHex("01020304"));
    EXPECT_EQ(decode(QStringLiteral(":0400000001020304👍👍")), QByteArray::fromHex("01020304"));
    // A non-hexadecimal character in the payload drops that record only.
    EXPECT_EQ(decode(QStringLiteral(":0200000011227A\n:02000000é3449A\n:02000000556671\n")),
              QByteArray::fromHex("11225566"));
    // Broken UTF-16 and lines that are all non-ASCII are read without a crash.
    const QString broken = QString(QChar(0xD800)) + QStringLiteral("0400000001020304F2\n") +
                           QString(9, QChar(0xDC00)) + u'\n' + QString(12, QChar(0x0301));
    EXPECT_EQ(decode(broken), QByteArray::fromHex("01020304"));
}

TEST(HexImageDecoder, HexStringToBytesReadsWholePairsOnly) {
    EXPECT_EQ(HexImageDecoder::hexStringToBytes(u""), QByteArray());
    EXPECT_EQ(HexImageDecoder::hexStringToBytes(u"A"), QByteArray());
    EXPECT_EQ(HexImageDecoder::hexStringToBytes(u"0A1"), QByteArray::fromHex("0A"));
    EXPECT_EQ(HexImageDecoder::hexStringToBytes(u"aBcD09"), QByteArray::fromHex("ABCD09"));
    EXPECT_EQ(HexImageDecoder::hexStringToBytes(u"0G"), std::nullopt);
    EXPECT_EQ(HexImageDecoder::hexStringToBytes(u"11+A"), std::nullopt);
    EXPECT_EQ(HexImageDecoder::hexStringToBytes(u"11 2"), std::nullopt);
    // Characters, not UTF-16 units, make the pairs: a leftover character is ignored whatever it
    // is, and a digit with an accent is one character.
    EXPECT_EQ(HexImageDecoder::hexStringToBytes(QStringLiteral("11😀")), QByteArray::fromHex("11"));
    EXPECT_EQ(HexImageDecoder::hexStringToBytes(QStringLiteral("121\u0301")),
              QByteArray::fromHex("12"));
    EXPECT_EQ(HexImageDecoder::hexStringToBytes(QStringLiteral("1\u0301")), QByteArray());
    EXPECT_EQ(HexImageDecoder::hexStringToBytes(QStringLiteral("1\u03012")), std::nullopt);
}
