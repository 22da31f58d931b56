#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Fetches one file from the firmware download server by running curl, which does the FTP work
// (anonymous login, passive transfers). Each attempt is a fresh curl process; what it prints is
// the file. curl runs silent, so an error prints nothing and "no bytes" is the only failure signal
// there is: a missing file, a refused login, a time-out and an empty file all look alike.
//
// The calls block until curl ends. The callers run on the GUI thread and accept a frozen window
// for the few seconds a download takes.
class FtpDownloader {
public:
    static QString defaultHost();     // set at build time
    static QString defaultCurlPath(); // "/usr/bin/curl"

    // `host` may carry a port ("127.0.0.1:2121") for a server of one's own.
    explicit FtpDownloader(QString host = defaultHost(), QString curlPath = defaultCurlPath());

    // Up to `maxRetry` attempts, one right after the other; the bytes of the first that yields any,
    // or absent when none did.
    std::optional<QByteArray> download(const QString& path, int maxRetry, double timeout) const;
    // One attempt: non-empty bytes, or absent.
    std::optional<QByteArray> curlDownload(const QString& path, double timeout) const;

    // "ftp://<host>/<path percent-encoded>", or absent when that is not a valid URL.
    std::optional<QString> urlFor(const QString& path) const;
    // Seconds as curl's -m expects them, always with a fraction digit: 10 -> "10.0".
    static QString timeoutArgument(double timeout);

private:
    QString host_;
    QString curlPath_;
};
