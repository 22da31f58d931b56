#include "support/LoopbackFtpServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// The server prints the port it was given, then serves until it is terminated.
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
static constexpr int limitMs = 30000;

LoopbackFtpServer::~LoopbackFtpServer() {
    if (server_.state() == QProcess::NotRunning)
        return;
    server_.terminate();
    if (!server_.waitForFinished(limitMs))
        server_.kill();
    server_.waitForFinished(limitMs);
}

bool LoopbackFtpServer::start() {
    // The server's log goes straight to the test's output: a pipe nobody reads while a test
    // blocks on a download would fill up and stall the server, and a traceback shows why it failed.
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Debian's Python packages import only in the system interpreter.
    server_.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"), QString::fromUtf8(serverScript), root_.path()});
    while (!server_.canReadLine() && server_.waitForReadyRead(limitMs)) {
    }
    bool ok = false;
    port_ = server_.readLine().trimmed().toInt(&ok);
    if (!ok || port_ <= 0 || !root_.isValid()) {
        error_ = QStringLiteral("the FTP server did not come up: ").append(server_.errorString());
        return false;
    }
    return true;
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
