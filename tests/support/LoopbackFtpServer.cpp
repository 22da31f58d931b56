#include "support/LoopbackFtpServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// The server prints the port it was given, then serves until it is terminated. Its log goes to a
// file: a pipe nobody reads while a test blocks on a download would fill up and stall the server.
static const char* const serverScript = R"(
import logging, sys
logging.basicConfig(level=logging.WARNING)
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[1])
FTPHandler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), FTPHandler)
print(server.address[1], flush=True)
server.serve_forever()
)";

// Bounds for a server that never comes up; generous, since the machine may be busy.
static constexpr int startLimitMs = 30000;
static constexpr int stopLimitMs = 10000;

LoopbackFtpServer::LoopbackFtpServer() = default;

LoopbackFtpServer::~LoopbackFtpServer() {
    stop();
}

bool LoopbackFtpServer::start() {
    if (!root_.isValid() || !logDir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    const QString logPath = logDir_.filePath(QStringLiteral("server.log"));
    server_.setStandardErrorFile(logPath);
    // Debian's Python packages import only in the system interpreter.
    server_.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"), QString::fromUtf8(serverScript), root_.path()});
    if (!server_.waitForStarted(startLimitMs)) {
        error_ = QStringLiteral("python3 did not start: ").append(server_.errorString());
        return false;
    }
    while (!server_.canReadLine() && server_.state() == QProcess::Running) {
        if (!server_.waitForReadyRead(startLimitMs))
            break;
    }
    bool ok = false;
    port_ = server_.readLine().trimmed().toInt(&ok);
    if (!ok || port_ <= 0) {
        stop();
        QFile log(logPath);
        error_ = QStringLiteral("the FTP server did not come up: ");
        if (log.open(QIODevice::ReadOnly))
            error_.append(QString::fromUtf8(log.readAll()));
        return false;
    }
    return true;
}

void LoopbackFtpServer::stop() {
    if (server_.state() == QProcess::NotRunning)
        return;
    server_.terminate();
    if (!server_.waitForFinished(stopLimitMs)) {
        server_.kill();
        server_.waitForFinished(stopLimitMs);
    }
}

QString LoopbackFtpServer::host() const {
    return QStringLiteral("127.0.0.1:%1").arg(port_);
}

bool LoopbackFtpServer::addFile(const QString& relativePath, const QByteArray& bytes) {
    const QString path = root_.filePath(relativePath);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}
