#include <gtest/gtest.h>

#include <sys/resource.h>

#include "ScopedDiagnosticCapture.h"
#include "firmware/FtpDownloader.h"
#include "support/LoopbackFtpServer.h"

static constexpr qsizetype kLimit = 1 << 20;
using Failure = FtpDownloader::Failure;
using Kind = Failure::Kind;

TEST(FtpDownloader, GivesUpAfterThreeFailedAttemptsAndASuccessAtTheLimitClearsTheReason) {
    LoopbackFtpServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    ScopedDiagnosticCapture log;
    const QByteArray list = "// versions\r\nV1.0.2,0x2A,fw.hex\r\n";
    ASSERT_TRUE(server.addFile("my list.txt", list) && server.addFile("empty.hex", {}) &&
                server.addFile("limit.hex", QByteArray(1000, 'x')));
    FtpDownloader downloader(server.host());
    EXPECT_EQ(downloader.download("my list.txt", 3, 10.0, kLimit), list);
    EXPECT_EQ(log.lines(), (QStringList{"🚀 FTP 下載嘗試 1...",
                                        QStringLiteral("✅ 成功下載 (%1 bytes)").arg(list.size())}));
    for (const char* path : {"missing.hex", "empty.hex"})
        EXPECT_EQ(downloader.download(path, 3, 10.0, kLimit), std::nullopt) << path;
    EXPECT_EQ(log.lines().filter("🚀 FTP 下載嘗試 3...").size(), 2);
    EXPECT_EQ(log.lines().size(), 14); // three attempts for each failure, two lines each
    EXPECT_TRUE(downloader.lastFailure().has_value());
    EXPECT_EQ(downloader.curlDownload("limit.hex", 10.0, 1000), QByteArray(1000, 'x'));
    EXPECT_FALSE(downloader.lastFailure().has_value());

    FtpDownloader withoutCurl(server.host(), "/nonexistent/curl");
    EXPECT_EQ(withoutCurl.download("fw.hex", 3, 10.0, kLimit), std::nullopt);
    EXPECT_EQ(withoutCurl.lastFailure(), Failure{Kind::CurlMissing});
    EXPECT_EQ(log.lines().filter("❌ Curl Error: ").size(), 3);

    EXPECT_EQ(FtpDownloader("h").urlFor("a/ü;#?%[x]!$&'()*+,=:@~.hex"),
              QStringLiteral("ftp://h/a/%C3%BC%3B%23%3F%25%5Bx%5D!$&'()*+,=:@~.hex"));
    EXPECT_EQ(FtpDownloader("bad host").urlFor("fw.hex"), std::nullopt);

    // An overlong file ends curl without the whole file held: reading it whole adds 64 MiB.
    ASSERT_TRUE(server.addZeroFile("QK100201.txt", qint64{64} << 20));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const int64_t peakKiBBefore = usage.ru_maxrss;
    EXPECT_EQ(downloader.curlDownload("QK100201.txt", 10.0, kLimit), std::nullopt);
    EXPECT_EQ(downloader.lastFailure(), Failure{Kind::TooLarge});
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT((usage.ru_maxrss - peakKiBBefore) * 1024, 8 * kLimit);
}

TEST(FtpDownloaderFailure, EachFailedAttemptSaysWhy) {
    using enum LoopbackFtpServer::Behaviour;
    const QByteArray half(800, 'x');
    // the server, the "fw.hex" it serves (none when null), another host, the failure
    const std::tuple<LoopbackFtpServer::Behaviour, QByteArray, QString, Failure> rows[] = {
        {Normal, "", {}, {Kind::Empty}},
        {SendsHalfAndCloses, half, {}, {Kind::CurlExit, 18}},
        {Normal, QByteArray(1001, 'x'), {}, {Kind::TooLarge}},
        {Silent, {}, {}, {Kind::CurlExit, 28}},
        {Normal, {}, "127.0.0.1:1", {Kind::CurlExit, 7}},
    };
    for (const auto& [behaviour, file, host, reason] : rows) {
        SCOPED_TRACE(static_cast<int>(reason.kind));
        LoopbackFtpServer server(behaviour);
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        ASSERT_TRUE(file.isNull() || server.addFile("fw.hex", file));
        FtpDownloader downloader(host.isEmpty() ? server.host() : host);
        const double timeout = behaviour == Silent ? 1.0 : 10.0;
        EXPECT_EQ(downloader.curlDownload("fw.hex", timeout, 1000), std::nullopt);
        EXPECT_EQ(downloader.lastFailure(), reason);
    }
}
