#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "firmware/FtpDownloader.h"
#include "support/LoopbackFtpServer.h"
#include "support/ScopedDiagnosticCapture.h"

// Downloads from a real FTP server on loopback through the real curl. curl is started through a
// small wrapper that records each command line, so the tests see how many processes ran and with
// which arguments.
class FtpDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        ASSERT_TRUE(tools.isValid());
        QFile wrapper(wrapperPath());
        ASSERT_TRUE(wrapper.open(QIODevice::WriteOnly));
        wrapper.write("#!/bin/sh\n"
                      "for arg in \"$@\"; do printf '%s\\n' \"$arg\" >> \"$0.log\"; done\n"
                      "echo '--' >> \"$0.log\"\n"
                      "exec /usr/bin/curl \"$@\"\n");
        wrapper.close();
        wrapper.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString wrapperPath() const { return tools.filePath("curl"); }
    FtpDownloader downloader() const { return FtpDownloader(server.host(), wrapperPath()); }

    // One argument list per curl process that ran.
    QList<QStringList> curlRuns() const {
        QFile log(wrapperPath() + ".log");
        QList<QStringList> runs;
        if (!log.open(QIODevice::ReadOnly))
            return runs;
        QStringList current;
        for (const QByteArray& line : log.readAll().split('\n')) {
            if (line == "--") {
                runs.append(current);
                current.clear();
            } else if (!line.isEmpty()) {
                current.append(QString::fromUtf8(line));
            }
        }
        return runs;
    }

    QStringList expectedArguments(const QString& encodedPath) const {
        return {"-m", "10.0", "-s", QStringLiteral("ftp://%1/%2").arg(server.host(), encodedPath)};
    }

    static QStringList failedAttemptLines() {
        return {"🚀 FTP 下載嘗試 1...",    "⚠️ 嘗試 1 失敗", "🚀 FTP 下載嘗試 2...",
                "⚠️ 嘗試 2 失敗", "🚀 FTP 下載嘗試 3...",    "⚠️ 嘗試 3 失敗"};
    }

    LoopbackFtpServer server;
    QTemporaryDir tools;
    ScopedDiagnosticCapture log;
};

TEST_F(FtpDownloaderTest, FirstTrySuccessRunsOneCurlWithTheFourArguments) {
    const QByteArray list = "// versions\r\nV1.0.2,0x2A,fw.hex\r\n";
    ASSERT_TRUE(server.addFile("QK100201.txt", list));

    EXPECT_EQ(downloader().download("QK100201.txt", 3, 10.0), list);
    EXPECT_EQ(curlRuns(), QList<QStringList>{expectedArguments("QK100201.txt")});
    EXPECT_EQ(log.lines(), (QStringList{"🚀 FTP 下載嘗試 1...",
                                        QStringLiteral("✅ 成功下載 (%1 bytes)").arg(list.size())}));
}

TEST_F(FtpDownloaderTest, MissingOrEmptyFileFailsEveryAttempt) {
    ASSERT_TRUE(server.addFile("empty.hex", {}));
    for (const char* path : {"missing.hex", "empty.hex"}) {
        log.clear();
        EXPECT_EQ(downloader().download(path, 3, 10.0), std::nullopt) << path;
        EXPECT_EQ(log.lines(), failedAttemptLines());
    }
    EXPECT_EQ(curlRuns().size(), 6);
}

TEST_F(FtpDownloaderTest, PathIsPercentEncoded) {
    const QByteArray image = ":0400000001020304F2\r\n";
    ASSERT_TRUE(server.addFile("my fw.hex", image));
    EXPECT_EQ(downloader().curlDownload("my fw.hex", 10.0), image);
    // A space left in front of a name by a sloppy list line reaches the server and is not found.
    EXPECT_EQ(downloader().curlDownload(" my fw.hex", 10.0), std::nullopt);
    EXPECT_EQ(curlRuns(), (QList<QStringList>{expectedArguments("my%20fw.hex"),
                                              expectedArguments("%20my%20fw.hex")}));

    EXPECT_EQ(FtpDownloader("h").urlFor("a/ü;#?%[x]!$&'()*+,=:@~.hex"),
              QStringLiteral("ftp://h/a/%C3%BC%3B%23%3F%25%5Bx%5D!$&'()*+,=:@~.hex"));
    EXPECT_EQ(FtpDownloader("bad host").urlFor("fw.hex"), std::nullopt);
}

TEST_F(FtpDownloaderTest, MissingCurlFailsEachAttemptAtStart) {
    ASSERT_TRUE(server.addFile("fw.hex", "data"));
    const FtpDownloader withoutCurl(server.host(), tools.filePath("no-such-curl"));
    EXPECT_EQ(withoutCurl.download("fw.hex", 3, 10.0), std::nullopt);

    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 9);
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(lines[3 * attempt], failedAttemptLines()[2 * attempt]);
        EXPECT_TRUE(lines[3 * attempt + 1].startsWith("❌ Curl Error: "))
            << lines[3 * attempt + 1].toStdString();
        EXPECT_GT(lines[3 * attempt + 1].size(), QStringLiteral("❌ Curl Error: ").size());
        EXPECT_EQ(lines[3 * attempt + 2], failedAttemptLines()[2 * attempt + 1]);
    }
}

TEST(FtpDownloader, TimeoutAlwaysHasAFractionDigit) {
    EXPECT_EQ(FtpDownloader::timeoutArgument(10.0), "10.0");
    EXPECT_EQ(FtpDownloader::timeoutArgument(2.5), "2.5");
    EXPECT_EQ(FtpDownloader::timeoutArgument(0.1), "0.1");
}
