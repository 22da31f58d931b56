#include "cli/UserImageFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <numeric>

#include "core/Utf8Text.h"
#include "firmware/DescriptionFile.h"
#include "protocol/FirmwareTransfer.h"

namespace {

const QString checkTheFile = QStringLiteral("Use a whole HEX image of the firmware.");

UserImageFile::Result refuse(const QString& what, const QString& next) {
    return {std::nullopt, {what, "Nothing was written to the converter. " + next}};
}

UserImageFile::Result decode(const QString& name, const QByteArray& text, bool force) {
    const QList<QByteArray> lines = text.split('\n');
    qsizetype last = lines.size() - 1;
    while (last >= 0 && lines[last].trimmed().isEmpty())
        --last;
    QByteArray image;
    bool ended = false; // by the end-of-file record, without which the file may be cut short
    for (qsizetype index = 0; index <= last && !ended; ++index) {
        const QByteArray line = lines[index].trimmed();
        const auto refuseLine = [&](const QString& what) {
            return refuse(QString("%1 is not a whole HEX image: line %2 %3.")
                              .arg(name, QString::number(index + 1), what),
                          checkTheFile);
        };
        if (line.isEmpty())
            continue;
        if (!line.startsWith(':'))
            return refuseLine("is not a HEX record");
        const QByteArrayView digits = QByteArrayView(line).sliced(1);
        if (!std::all_of(digits.begin(), digits.end(),
                         [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }))
            return refuseLine("holds characters that are not hexadecimal digits");
        // Count, address (2), type, data and the record checksum.
        const qsizetype count = digits.size() < 2 ? 0 : digits.first(2).toInt(nullptr, 16);
        const qsizetype expected = 5 + count;
        if (digits.size() < 2 * expected && index == last)
            return refuseLine("is cut off");
        if (digits.size() != 2 * expected)
            return refuseLine("is not as long as its byte count says");
        const QByteArray bytes = QByteArray::fromHex(digits.toByteArray());
        // The bytes add up to 0 modulo 256, whether read as signed or not.
        if (static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0)) != 0 && !force)
            return refuse(
                QString("%1: the record checksum of line %2 is wrong.").arg(name).arg(index + 1),
                "If the file is right all the same, --force writes it.");
        if (bytes[3] == 0)
            image.append(bytes.sliced(4, expected - 5));
        ended = bytes[3] == 1;
    }
    if (image.isEmpty())
        return refuse(QString("%1 holds no firmware: it has no data records.").arg(name),
                      checkTheFile);
    if (image.size() > FirmwareTransfer::maximumImageLength)
        return refuse(QString("%1 holds %2 bytes of firmware; the converter takes at most %3.")
                          .arg(name, QString::number(image.size()),
                               QString::number(FirmwareTransfer::maximumImageLength)),
                      checkTheFile);
    if (!ended)
        return refuse(QString("%1 is not a whole HEX image: it ends before its end-of-file record.")
                          .arg(name),
                      checkTheFile);
    return {ReleaseImage{image, std::nullopt}, {}};
}

} // namespace

UserImageFile::Result UserImageFile::read(const CliArguments& arguments) {
    const QString& path = *arguments.file;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QString("%1 could not be read: %2.").arg(path, file.errorString()),
                      "Check the file's name and that you may read it.");
    Result result = decode(QFileInfo(path).fileName(), file.readAll(), arguments.force);
    if (!result.release)
        return result;
    result.release->checkSum = arguments.checksum;
    if (arguments.checksum)
        return result;
    const std::optional<QString> description = Utf8Text::readFile(*arguments.description);
    if (description)
        result.release->checkSum = DescriptionFile::applyChecksumFile(*description, std::nullopt);
    if (!result.release->checkSum)
        return refuse(QString("%1 gives no checksum for the image.").arg(*arguments.description),
                      "Name the description file of this image, or give --checksum.");
    return result;
}
