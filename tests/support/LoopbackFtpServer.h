#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real anonymous FTP server (pyftpdlib) on 127.0.0.1, on a port the system picks, serving a
// temporary folder that lives as long as this object. Tests put files into it and hand host() to
// the downloader; the server stops when the object is destroyed.
class LoopbackFtpServer {
public:
    LoopbackFtpServer() = default;
    ~LoopbackFtpServer();
    LoopbackFtpServer(const LoopbackFtpServer&) = delete;
    LoopbackFtpServer& operator=(const LoopbackFtpServer&) = delete;

    // False, with errorText() saying why, when the server did not come up.
    bool start();
    QString host() const; // "127.0.0.1:<port>"
    // Writes a file below the served folder (creating folders on the way).
    bool addFile(const QString& relativePath, const QByteArray& bytes);
    QString errorText() const { return error_; }

private:
    QTemporaryDir root_;
    QProcess server_;
    int port_ = 0;
    QString error_;
};
