#include "support/ResourceDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString& overrideDirectory() {
    static QString directory;
    return directory;
}
} // namespace

QString ResourceDirectory::path() {
    if (!overrideDirectory().isEmpty())
        return overrideDirectory();
    // Located once: the executable does not move while it runs.
    static const QString located = locate(QCoreApplication::applicationDirPath());
    return located;
}

void ResourceDirectory::setOverride(const QString& directory) {
    overrideDirectory() = directory;
}

QString ResourceDirectory::locate(const QString& executableDirectory) {
    const QDir bin(executableDirectory);
    const QString buildTree = bin.filePath(QStringLiteral("resources"));
    if (QFileInfo(buildTree).isDir())
        return QDir::cleanPath(buildTree);
    // Also when it does not exist: loading then fails with the usual "config" message.
    return QDir::cleanPath(bin.filePath(QStringLiteral("../share/velmar-converter-update")));
}
