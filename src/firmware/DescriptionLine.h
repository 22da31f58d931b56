#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// One firmware description line: comma-separated fields naming a release's version, its expected
// checksum and its image file, in any order.
class DescriptionLine {
public:
    struct ListLineResult {
        std::optional<qint64> checkSum; // the expected checksum after the line is applied
        std::optional<QString> imageFile;
    };

    // The non-empty fields, untrimmed ("a,,b" has two).
    static QList<QStringView> fields(QStringView line);
    // A line whose first two characters are "//" (the line is not trimmed first).
    static bool isComment(QStringView line);
    // The first version field as written, for the version pop-up.
    static std::optional<QString> firstVersionField(QStringView line);

    // The first checksum field sets the checksum (to absent when it does not parse); a line without
    // one keeps `checkSum` and names no image. The image is the first image file field as written.
    static ListLineResult applyListLine(QStringView line, std::optional<qint64> checkSum);
};
