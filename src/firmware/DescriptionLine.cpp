#include "firmware/DescriptionLine.h"

#include <QStringTokenizer>
#include <algorithm>

#include "firmware/CharacterBoundaries.h"
#include "firmware/DescriptionField.h"

QList<QStringView> DescriptionLine::fields(QStringView line) {
    return line.tokenize(u',', Qt::SkipEmptyParts).toContainer();
}

bool DescriptionLine::isComment(QStringView line) {
    return CharacterBoundaries::startsWith(line, u"//");
}

std::optional<QString> DescriptionLine::firstVersionField(QStringView line) {
    for (QStringView field : fields(line))
        if (DescriptionField::isVersionField(field))
            return field.toString();
    return std::nullopt;
}

DescriptionLine::ListLineResult DescriptionLine::applyListLine(QStringView line,
                                                               std::optional<qint64> checkSum) {
    const QList<QStringView> all = fields(line);
    const auto checksumField = std::ranges::find_if(all, &DescriptionField::isChecksumField);
    if (checksumField == all.cend())
        return {checkSum, std::nullopt};

    ListLineResult result{DescriptionField::parseChecksumField(*checksumField), std::nullopt};
    const auto imageField = std::ranges::find_if(all, &DescriptionField::isImageFileField);
    if (imageField != all.cend())
        result.imageFile = imageField->toString();
    return result;
}
