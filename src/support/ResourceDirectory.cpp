#include "support/ResourceDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ResourceDirectory::path() {
    static const QString located = locate(QCoreApplication::applicationDirPath());
    return located;
}

QString ResourceDirectory::locate(const QString& executableDirectory) {
    const QDir bin(executableDirectory);
    const QString buildTree = bin.filePath(QStringLiteral("resources"));
    if (QFileInfo(buildTree).isDir())
        return QDir::cleanPath(buildTree);
    // Also when it does not exist: loading then fails with the usual "config" message.
    return QDir::cleanPath(bin.filePath(QStringLiteral("../share/velmar-converter-update")));
}
