#include "firmware/DescriptionFile.h"

#include "firmware/DescriptionField.h"
#include "firmware/DescriptionLine.h"
#include "firmware/LineSplitter.h"

std::optional<qint64> DescriptionFile::applyChecksumFile(QStringView text,
                                                         std::optional<qint64> checkSum) {
    const QStringList lines = releaseLines(text);
    if (lines.isEmpty())
        return checkSum;
    for (QStringView field : DescriptionLine::fields(lines.first()))
        if (DescriptionField::isChecksumField(field))
            checkSum = DescriptionField::parseChecksumField(field);
    return checkSum;
}

QStringList DescriptionFile::releaseLines(QStringView text) {
    QStringList releases;
    for (QStringView line : LineSplitter::descriptionLines(text))
        if (!DescriptionLine::isComment(line))
            releases.append(line.toString());
    return releases;
}
