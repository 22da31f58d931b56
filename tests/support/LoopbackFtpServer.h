#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real anonymous FTP server (pyftpdlib) on 127.0.0.1 serving a temporary folder while it lives.
class LoopbackFtpServer {
public:
    enum class Behaviour {
        Normal,
        AnswersAfterTwoSeconds, // every file is sent two seconds after it was asked for
        SendsHalfAndCloses,     // half of every file, then the connection drops
        Silent,                 // accepts connections and never says a word
    };

    explicit LoopbackFtpServer(Behaviour behaviour = Behaviour::Normal) : behaviour_(behaviour) {}
    ~LoopbackFtpServer();

    // False, with errorText() saying why, when the server did not come up.
    bool start();
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    // Writes a file into the served folder.
    bool addFile(const QString& relativePath, const QByteArray& bytes);
    // A file of `size` zero bytes, made without holding it in memory.
    bool addZeroFile(const QString& relativePath, qint64 size);
    QString errorText() const { return error_; }

private:
    Behaviour behaviour_;
    QTemporaryDir root_;
    QProcess server_;
    int port_ = 0;
    QString error_;
};
