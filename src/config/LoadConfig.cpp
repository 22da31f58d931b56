#include "config/LoadConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "config/ParseConfig.h"
#include "config/StrictBase64.h"
#include "support/DiagnosticLog.h"

std::optional<ConfigModel> loadConfig(const QString& resourceDirectory) {
    const QString path = QDir(resourceDirectory).filePath(QStringLiteral("config"));
    if (!QFileInfo::exists(path))
        return std::nullopt;

    QFile file(path);
    QByteArray text;
    if (file.open(QIODevice::ReadOnly))
        text = file.readAll();
    // readAll cannot tell an empty file from a failed read; the error state can.
    if (file.error() != QFileDevice::NoError) {
        DiagnosticLog::write(QStringLiteral("❌ 無法讀取Config檔案: ") + file.errorString());
        return std::nullopt;
    }

    if (const std::optional<QByteArray> document = StrictBase64::decode(text))
        return ParseConfig::parseXML(*document);
    return std::nullopt;
}
