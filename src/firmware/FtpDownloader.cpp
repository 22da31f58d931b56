#include "firmware/FtpDownloader.h"

#include <algorithm>
#include <chrono>

#include <QLocale>
#include <QProcess>
#include <QUrl>

#include "support/DiagnosticLog.h"
#include "support/MainLoopWait.h"

// curl's own -m ends it; this is only for a curl that hangs regardless, which would otherwise
// keep the window waiting for good.
static constexpr std::chrono::seconds kCurlOverrun{5};

QString FtpDownloader::defaultHost() {
    return QStringLiteral(UPDATER_FTP_HOST);
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
    using Kind = Failure::Kind;
    lastFailure_.reset();
    const std::optional<QString> url = urlFor(path);
    if (cancelled_ || !url) {
        lastFailure_ = {cancelled_ ? Kind::Stopped : Kind::BadAddress};
        return std::nullopt;
    }

    QProcess curl;
    curl.setProcessChannelMode(QProcess::MergedChannels);
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
        lastFailure_ = {Kind::CurlMissing};
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
        lastFailure_ = {Kind::Stopped};
    else if (tooLarge)
        lastFailure_ = {Kind::TooLarge};
    else if (overran)
        lastFailure_ = {Kind::TimedOut};
    else if (curl.exitStatus() != QProcess::NormalExit)
        lastFailure_ = {Kind::CurlCrashed};
    else if (curl.exitCode() != 0)
        lastFailure_ = {Kind::CurlExit, curl.exitCode()};
    else if (bytes.isEmpty())
        lastFailure_ = {Kind::Empty};
    else
        return bytes;
    return std::nullopt;
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
    const QString text = QString::number(timeout, 'g', QLocale::FloatingPointShortest);
    const bool plainInteger =
        std::ranges::all_of(text, [](QChar c) { return c.isDigit() || c == u'-'; });
    return plainInteger ? text + QStringLiteral(".0") : text;
}
