#include "core/CatalogueDownload.h"

std::optional<QByteArray> CatalogueDownload::download(const QString& path, qsizetype maxBytes) {
    if (observer_.started)
        observer_.started(path);
    std::optional<QByteArray> bytes =
        downloader_.download(path, attempts, timeoutSeconds, maxBytes);
    failure_.reset();
    if (!bytes)
        failure_ = Failure{path, downloader_.lastFailure().value_or(FtpDownloader::Failure{})};
    if (observer_.finished)
        observer_.finished(path, bytes.has_value());
    return bytes;
}
