#include "firmware/DescriptionFile.h"

#include "firmware/DescriptionField.h"
#include "firmware/DescriptionLine.h"
#include "firmware/LineSplitter.h"

std::optional<qint64> DescriptionFile::applyChecksumFile(QStringView text,
                                                         std::optional<qint64> checkSum) {
    for (QStringView line : LineSplitter::descriptionLines(text)) {
        if (DescriptionLine::isComment(line))
            continue;
        for (QStringView field : DescriptionLine::fields(line)) {
            if (DescriptionField::isChecksumField(field))
                checkSum = DescriptionField::parseChecksumField(field);
        }
        break;
    }
    return checkSum;
}

QStringList DescriptionFile::releaseLines(QStringView text) {
    QStringList releases;
    for (QStringView line : LineSplitter::descriptionLines(text)) {
        if (!DescriptionLine::isComment(line))
            releases.append(line.toString());
    }
    return releases;
}
