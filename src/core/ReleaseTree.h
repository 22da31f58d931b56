#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// The firmware releases shipped with the program: data/<PN>/<mode>/<version>/tmp.hex and tmp.txt
// below the resource directory, where <PN> is the part number in upper case ("normal" for a
// device without one) and <mode> is "standard" or "te".
class ReleaseTree {
public:
    struct Modes {
        bool standard = false;
        bool tournament = false;
    };

    explicit ReleaseTree(QString resourceDirectory)
        : resourceDirectory_(std::move(resourceDirectory)) {}

    // The full path of a file or folder given relative to the resource directory, when it exists.
    std::optional<QString> resourcePath(const QString& relativePath) const;

    // Which mode folders the device folder holds, by name ("standard", "te" anywhere in an entry's
    // name). Absent when the device folder does not exist; both false when it cannot be listed.
    std::optional<Modes> probeModes(const std::optional<QString>& partNumber) const;

    // The entries of the mode folder in listing order (no sorting, no filtering); empty when the
    // folder is missing or unreadable.
    QStringList listFwVersions(const std::optional<QString>& partNumber, bool isStandard) const;

    // data/<PN trimmed, upper case>/<mode>/<version>/<fileName>, when it exists.
    std::optional<QString> releaseFile(const std::optional<QString>& partNumber, bool isStandard,
                                       const QString& version, const QString& fileName) const;

private:
    static QString deviceFolder(const std::optional<QString>& partNumber);
    static std::optional<QStringList> listFolder(const QString& path);

    QString resourceDirectory_;
};
