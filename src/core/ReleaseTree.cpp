#include "core/ReleaseTree.h"

#include <QDir>
#include <QFileInfo>

std::optional<QString> ReleaseTree::resourcePath(const QString& relativePath) const {
    const QString path = QDir(resourceDirectory_).filePath(relativePath);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return path;
}

QString ReleaseTree::deviceFolder(const std::optional<QString>& partNumber) {
    return QStringLiteral("data/") +
           (partNumber ? partNumber->toUpper() : QStringLiteral("normal"));
}

std::optional<QStringList> ReleaseTree::listFolder(const QString& path) {
    QDir dir(path);
    if (!dir.exists() || !dir.isReadable())
        return std::nullopt;
    return dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDir::Unsorted);
}

std::optional<ReleaseTree::Modes>
ReleaseTree::probeModes(const std::optional<QString>& partNumber) const {
    const std::optional<QString> folder = resourcePath(deviceFolder(partNumber));
    if (!folder)
        return std::nullopt;
    Modes modes;
    for (const QString& entry : listFolder(*folder).value_or(QStringList{})) {
        modes.standard = modes.standard || entry.contains(QStringLiteral("standard"));
        modes.tournament = modes.tournament || entry.contains(QStringLiteral("te"));
    }
    return modes;
}

QStringList ReleaseTree::listFwVersions(const std::optional<QString>& partNumber,
                                        bool isStandard) const {
    const QString modeFolder = deviceFolder(partNumber) +
                               (isStandard ? QStringLiteral("/standard") : QStringLiteral("/te"));
    return listFolder(QDir(resourceDirectory_).filePath(modeFolder)).value_or(QStringList{});
}

std::optional<QString> ReleaseTree::releaseFile(const std::optional<QString>& partNumber,
                                                bool isStandard, const QString& version,
                                                const QString& fileName) const {
    // Only here is the part number trimmed: it comes from the device and may carry blanks.
    const QString base = partNumber ? QStringLiteral("data/") + partNumber->trimmed().toUpper()
                                    : QStringLiteral("data/normal");
    const QString mode = isStandard ? QStringLiteral("standard") : QStringLiteral("te");
    return resourcePath(base + "/" + mode + "/" + version + "/" + fileName);
}
