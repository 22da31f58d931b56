#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

// Fetches one file from the firmware download server by running curl, which does the FTP work.
// Each attempt is a fresh curl process; only one that ends with status 0 delivered the whole file.
// While curl runs, the calling thread waits on its event loop as a device exchange does, so callers
// keep timers, clicks and removals from starting anything that gets in the download's way.
class FtpDownloader {
public:
    static QString defaultHost(); // set at build time
    static QString defaultCurlPath() { return QStringLiteral("/usr/bin/curl"); }

    // `host` may carry a port ("127.0.0.1:2121") for a server of one's own.
    explicit FtpDownloader(QString host = defaultHost(), QString curlPath = defaultCurlPath());

    // Up to `maxRetry` attempts, one right after the other; the bytes of the first that succeeds,
    // or absent when none did. A file of more than `maxBytes` bytes fails its attempt: curl is
    // ended as soon as the output passes the limit, so memory stays bounded.
    std::optional<QByteArray> download(const QString& path, int maxRetry, double timeout,
                                       qsizetype maxBytes);
    // One attempt: the whole, non-empty file, or absent.
    std::optional<QByteArray> curlDownload(const QString& path, double timeout, qsizetype maxBytes);
    // For good, as the program closes: a running curl is ended and no attempt starts again.
    void cancel() { cancelled_ = true; }

    // Why an attempt failed.
    struct Failure {
        enum class Kind {
            BadAddress,  // the file name makes no valid address
            CurlMissing, // curl could not be started
            CurlCrashed, // curl ended without an exit status
            TimedOut,    // curl overran its own time limit and was ended
            TooLarge,    // the file passed the size limit
            Empty,       // the server sent nothing
            Stopped,     // the program is closing and ended it
            CurlExit,    // curl failed; `curlExitCode` says how
        };
        Kind kind = Kind::CurlExit;
        int curlExitCode = 0;
        bool operator==(const Failure&) const = default;
    };
    // Why the last attempt failed; absent when it succeeded or none ran yet.
    const std::optional<Failure>& lastFailure() const { return lastFailure_; }

    // "ftp://<host>/<path percent-encoded>", or absent when that is not a valid URL.
    std::optional<QString> urlFor(const QString& path) const;
    // Seconds as curl's -m expects them, always with a fraction digit: 10 -> "10.0".
    static QString timeoutArgument(double timeout);

private:
    QString host_;
    QString curlPath_;
    std::optional<Failure> lastFailure_;
    bool cancelled_ = false;
};
