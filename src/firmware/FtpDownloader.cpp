#include "firmware/FtpDownloader.h"

#include <algorithm>

#include <QLocale>
#include <QProcess>
#include <QUrl>

#include "support/DiagnosticLog.h"

#ifndef UPDATER_FTP_HOST
#define UPDATER_FTP_HOST "ftp.example.invalid"
#endif

QString FtpDownloader::defaultHost() {
    return QStringLiteral(UPDATER_FTP_HOST);
}

QString FtpDownloader::defaultCurlPath() {
    return QStringLiteral("/usr/bin/curl");
}

FtpDownloader::FtpDownloader(QString host, QString curlPath)
    : host_(std::move(host)), curlPath_(std::move(curlPath)) {}

std::optional<QByteArray> FtpDownloader::download(const QString& path, int maxRetry,
                                                  double timeout) const {
    for (int attempt = 1; attempt <= maxRetry; ++attempt) {
        DiagnosticLog::write(QStringLiteral("🚀 FTP 下載嘗試 %1...").arg(attempt));
        if (auto bytes = curlDownload(path, timeout)) {
            DiagnosticLog::write(QStringLiteral("✅ 成功下載 (%1 bytes)").arg(bytes->size()));
            return bytes;
        }
        DiagnosticLog::write(QStringLiteral("⚠️ 嘗試 %1 失敗").arg(attempt));
    }
    return std::nullopt;
}

std::optional<QByteArray> FtpDownloader::curlDownload(const QString& path, double timeout) const {
    const std::optional<QString> url = urlFor(path);
    if (!url)
        return std::nullopt;

    QProcess curl;
    curl.setProcessChannelMode(QProcess::MergedChannels);
    curl.setInputChannelMode(QProcess::ForwardedInputChannel);
    curl.start(curlPath_,
               {QStringLiteral("-m"), timeoutArgument(timeout), QStringLiteral("-s"), *url});
    if (!curl.waitForStarted(-1)) {
        DiagnosticLog::write(QStringLiteral("❌ Curl Error: ").append(curl.errorString()));
        return std::nullopt;
    }
    // curl's own -m limit ends the process; waiting without a limit of our own keeps every byte.
    curl.waitForFinished(-1);
    QByteArray bytes = curl.readAll();
    if (bytes.isEmpty())
        return std::nullopt;
    return bytes;
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
