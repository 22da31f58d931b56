#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

#include "firmware/FtpDownloader.h"

// Fetches the catalogue's files (version lists and images) with the limits every front end uses,
// and keeps what went wrong. The event loop runs meanwhile: the observer hears of each download's
// start and end, so a front end can hold its other work off and keep its screen drawn.
class CatalogueDownload {
public:
    static constexpr int attempts = 3;
    static constexpr double timeoutSeconds = 10.0;
    // Far beyond any real list or image; a larger file is a server fault, not a release.
    static constexpr qsizetype versionListByteLimit = qsizetype{1} << 20;
    static constexpr qsizetype imageByteLimit = qsizetype{16} << 20;

    struct Observer {
        std::function<void(const QString& path)> started;
        std::function<void(const QString& path, bool succeeded)> finished;
    };

    // `downloader` must outlive this object.
    explicit CatalogueDownload(FtpDownloader& downloader) : downloader_(downloader) {}

    void setObserver(Observer observer) { observer_ = std::move(observer); }

    // The file, or absent when every attempt failed; then failure() says why.
    std::optional<QByteArray> download(const QString& path, qsizetype maxBytes);

    // Which file the last download failed on, and what curl ran into; absent after a success.
    struct Failure {
        QString file = {};
        FtpDownloader::Failure curl = {};
        bool operator==(const Failure&) const = default;
    };
    const std::optional<Failure>& failure() const { return failure_; }

private:
    FtpDownloader& downloader_;
    Observer observer_;
    std::optional<Failure> failure_;
};
