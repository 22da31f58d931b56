#include "core/CatalogueDownload.h"

CatalogueDownload::CatalogueDownload(FtpDownloader& downloader) : downloader_(downloader) {}

std::optional<QByteArray> CatalogueDownload::download(const QString& path, qsizetype maxBytes) {
    if (observer_.started)
        observer_.started(path);
    std::optional<QByteArray> bytes =
        downloader_.download(path, attempts, timeoutSeconds, maxBytes);
    failureReason_ = bytes ? QString() : failureReason(path, downloader_.lastFailureReason());
    if (observer_.finished)
        observer_.finished(path, bytes.has_value());
    return bytes;
}

QString CatalogueDownload::failureReason(const QString& path, QString curlReason) {
    if (curlReason.isEmpty())
        curlReason = QStringLiteral("no reason was given.");
    else
        curlReason[0] = curlReason[0].toLower(); // it continues the sentence
    return QStringLiteral("The download of %1 failed: %2 Check the connection to the server, "
                          "press Confirm and try again.")
        .arg(path, curlReason);
}
