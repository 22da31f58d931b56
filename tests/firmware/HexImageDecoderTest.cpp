#include <gtest/gtest.h>

#include <QStringList>

#include "firmware/HexImageDecoder.h"

static QByteArray decode(const QString& text) {
    return HexImageDecoder::decodeHexImage(text);
}

TEST(HexImageDecoder, TakesType00PayloadsFromFixedCharacterPositionsWhateverTheRecordSays) {
    const std::pair<QString, const char*> rows[] = {
        {"xxxxxxx00AABB", "AA"},
        {"#0400000001020304F2", "01020304"}, // any start character
        {":FF00000001020304FF", "01020304"}, // wrong count, sum
        {":0000000", ""},
        {":0000000000A", ""},    // too short; nothing left once the sum is cut off
        {":02000000G3449A", ""}, // a non-hexadecimal pair spoils the record
        {":03000000abcdefE0", "ABCDEF"},
        {":02000000778EF", "77"},                            // an odd digit is dropped
        {QStringLiteral("😀0400000001020304F2"), "01020304"}, // one character, two UTF-16 units
        {QStringLiteral(":04000000\u030101020304F2"), ""},   // an accent changes the type's digit
        {QStringLiteral(":0400000001020304👍👍"), "01020304"},
        {QStringLiteral(":02000000é3449A"), ""},
        {QStringLiteral(":0200000011😀CC"), "11"},       // a leftover character is ignored
        {QStringLiteral(":02000000121\u0301CC"), "12"}, // ... with its accent
        {QStringLiteral(":020000001\u03012CC"), ""}     // a digit with an accent is no digit
    };
    for (const auto& [line, expected] : rows)
        EXPECT_EQ(decode(line), QByteArray::fromHex(expected)) << line.toStdString();

    // Only type 00 counts, in file order; addresses, bad records and the end record do not matter.
    // An address gap closes up; data after the end record still counts.
    const QString image = ":020000040800F2\n:0400000011223344EE\n:02000000G3449A\n:0280000055661D\n"
                          ":00000001FF\n:0100100077FF\n";
    EXPECT_EQ(decode(image), QByteArray::fromHex("11223344556677"));
    // Broken UTF-16 and all-non-ASCII lines read without a crash.
    const QString broken = QString(QChar(0xD800)) + QStringLiteral("0400000001020304F2\n") +
                           QString(9, QChar(0xDC00)) + u'\n' + QString(12, QChar(0x0301));
    EXPECT_EQ(decode(broken), QByteArray::fromHex("01020304"));
}

TEST(HexImageDecoder, EveryKindOfLineBreakGivesTheSameImage) {
    const QStringList records{":0400000001020304F2", ":0200040005069A", ":00000001FF"};
    for (const QString separator :
         {"\n", "\r", "\r\n", "\r\n\r\n\n", "\u0085", "\u2028", "\u2029", "\v", "\f"})
        EXPECT_EQ(decode(records.join(separator) + separator), QByteArray::fromHex("010203040506"))
            << "separator U+" << int(separator[0].unicode());
}
