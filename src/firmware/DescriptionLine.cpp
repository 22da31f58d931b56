#include "firmware/DescriptionLine.h"

#include <algorithm>

#include "firmware/CharacterBoundaries.h"
#include "firmware/DescriptionField.h"

QList<QStringView> DescriptionLine::fields(QStringView line) {
    QList<QStringView> result;
    for (QStringView field : line.tokenize(u',', Qt::SkipEmptyParts))
        result.append(field);
    return result;
}

bool DescriptionLine::isComment(QStringView line) {
    return CharacterBoundaries::startsWith(line, u"//");
}

std::optional<QString> DescriptionLine::firstVersionField(QStringView line) {
    for (QStringView field : fields(line)) {
        if (DescriptionField::isVersionField(field))
            return field.toString();
    }
    return std::nullopt;
}

DescriptionLine::ListLineResult DescriptionLine::applyListLine(QStringView line,
                                                               std::optional<qint64> checkSum) {
    const QList<QStringView> all = fields(line);
    const auto checksumField =
        std::find_if(all.cbegin(), all.cend(), &DescriptionField::isChecksumField);
    if (checksumField == all.cend())
        return {checkSum, std::nullopt};

    ListLineResult result{DescriptionField::parseChecksumField(*checksumField), std::nullopt};
    const auto imageField =
        std::find_if(all.cbegin(), all.cend(), &DescriptionField::isImageFileField);
    if (imageField != all.cend())
        result.imageFile = imageField->toString();
    return result;
}
