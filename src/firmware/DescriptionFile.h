#pragma once

#include <QStringList>
#include <QStringView>
#include <optional>

// Text made of firmware description lines separated by CR LF, with "//" comment lines: the
// description file beside a local image, and the online version list.
class DescriptionFile {
public:
    // Only the first line that is not a comment counts; each of its checksum fields, left to right,
    // replaces the checksum (the last one wins). Without a checksum field the current value stays.
    static std::optional<qint64> applyChecksumFile(QStringView text,
                                                   std::optional<qint64> checkSum);

    // The lines that are not comments, in file order: the releases of a version list.
    static QStringList releaseLines(QStringView text);
};
