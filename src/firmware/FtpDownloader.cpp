#include "firmware/FtpDownloader.h"

#include <algorithm>
#include <chrono>

#include <QLocale>
#include <QProcess>
#include <QUrl>

#include "device/MainLoopWait.h"
#include "support/DiagnosticLog.h"

#ifndef UPDATER_FTP_HOST
#define UPDATER_FTP_HOST "ftp.example.invalid"
#endif

// curl's own -m ends it; this is only for a curl that hangs regardless, which would otherwise
// keep the window waiting for good.
static constexpr std::chrono::seconds kCurlOverrun{5};
static const QString kStoppedReason =
    QStringLiteral("The download was stopped because the program is closing.");

QString FtpDownloader::defaultHost() {
    return QStringLiteral(UPDATER_FTP_HOST);
}

QString FtpDownloader::defaultCurlPath() {
    return QStringLiteral("/usr/bin/curl");
}

FtpDownloader::FtpDownloader(QString host, QString curlPath)
    : host_(std::move(host)), curlPath_(std::move(curlPath)) {}

std::optional<QByteArray> FtpDownloader::download(const QString& path, int maxRetry, double timeout,
                                                  qsizetype maxBytes) {
    for (int attempt = 1; attempt <= maxRetry && !cancelled_; ++attempt) {
        DiagnosticLog::write(QStringLiteral("🚀 FTP 下載嘗試 %1...").arg(attempt));
        if (auto bytes = curlDownload(path, timeout, maxBytes)) {
            DiagnosticLog::write(QStringLiteral("✅ 成功下載 (%1 bytes)").arg(bytes->size()));
            return bytes;
        }
        DiagnosticLog::write(QStringLiteral("⚠️ 嘗試 %1 失敗").arg(attempt));
    }
    return std::nullopt;
}

std::optional<QByteArray> FtpDownloader::curlDownload(const QString& path, double timeout,
                                                      qsizetype maxBytes) {
    lastFailureReason_.clear();
    if (cancelled_) {
        lastFailureReason_ = kStoppedReason;
        return std::nullopt;
    }
    const std::optional<QString> url = urlFor(path);
    if (!url) {
        lastFailureReason_ = QStringLiteral("The file name does not make a valid address.");
        return std::nullopt;
    }

    QProcess curl;
    curl.setProcessChannelMode(QProcess::MergedChannels);
    curl.setInputChannelMode(QProcess::ForwardedInputChannel);
    QByteArray bytes;
    bool tooLarge = false;
    // Taken out of the process's buffer as it arrives, so neither copy grows past the limit.
    QObject::connect(&curl, &QProcess::readyRead, [&] {
        const QByteArray chunk = curl.readAll();
        if (tooLarge)
            return;
        bytes.append(chunk);
        if (bytes.size() > maxBytes) {
            tooLarge = true;
            bytes.clear();
            curl.kill();
        }
    });
    curl.start(curlPath_,
               {QStringLiteral("-m"), timeoutArgument(timeout), QStringLiteral("-s"), *url});
    if (!curl.waitForStarted(-1)) {
        DiagnosticLog::write(QStringLiteral("❌ Curl Error: ").append(curl.errorString()));
        lastFailureReason_ = QStringLiteral("The curl program could not be started.");
        return std::nullopt;
    }

    MainLoopWait wait;
    bool overran = false;
    const auto deadline = std::chrono::steady_clock::now() + kCurlOverrun +
                          std::chrono::milliseconds(static_cast<int64_t>(timeout * 1000));
    while (curl.state() != QProcess::NotRunning) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (cancelled_ || left <= std::chrono::milliseconds{0}) {
            overran = !cancelled_;
            curl.kill();
            curl.waitForFinished(-1);
            break;
        }
        wait.runOnce(left);
    }

    if (cancelled_)
        lastFailureReason_ = kStoppedReason;
    else if (tooLarge)
        lastFailureReason_ = QStringLiteral("The file on the server is too large.");
    else if (overran)
        lastFailureReason_ = QStringLiteral("The download did not finish in time.");
    else if (curl.exitStatus() != QProcess::NormalExit)
        lastFailureReason_ = QStringLiteral("The curl program ended unexpectedly.");
    else if (curl.exitCode() != 0)
        lastFailureReason_ = curlExitReason(curl.exitCode());
    else if (bytes.isEmpty())
        lastFailureReason_ = QStringLiteral("The server sent an empty file.");
    else
        return bytes;
    return std::nullopt;
}

QString FtpDownloader::curlExitReason(int exitCode) {
    switch (exitCode) {
    case 0:
        return {};
    case 6:
        return QStringLiteral("The download server's name could not be resolved.");
    case 7:
        return QStringLiteral("The download server could not be reached.");
    case 28:
        return QStringLiteral("The download server did not answer in time.");
    case 9:  // access to the folder denied
    case 19: // the server would not send the file
    case 67: // login refused
    case 78: // no such file
        return QStringLiteral("The file was not found on the server, or access was refused.");
    case 18: // the connection ended before the announced size
    case 56: // the connection failed while receiving
        return QStringLiteral("The connection broke off before the whole file arrived.");
    default:
        return QStringLiteral("The download failed (curl exit status %1).").arg(exitCode);
    }
}

std::optional<QString> FtpDownloader::urlFor(const QString& path) const {
    const QString text =
        QStringLiteral("ftp://%1/%2")
            .arg(host_, QString::fromLatin1(QUrl::toPercentEncoding(path, "!$&'()*+,=:@/")));
    if (!QUrl(text, QUrl::StrictMode).isValid())
        return std::nullopt;
    return text;
}

QString FtpDownloader::timeoutArgument(double timeout) {
    QString text = QString::number(timeout, 'g', QLocale::FloatingPointShortest);
    const bool plainInteger =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit() || c == u'-'; });
    if (plainInteger)
        text.append(u".0");
    return text;
}
