#include "support/LoopbackFtpServer.h"

#include <QFile>

// Prints its port, then serves until terminated; argv[2] names a LoopbackFtpServer::Behaviour.
static const char* const behaviourNames[] = {"normal", "slow", "half", "silent"};
static const char* const serverScript = R"(
import logging, os, socket, sys
logging.basicConfig(level=logging.WARNING)
behaviour = sys.argv[2]
if behaviour == "silent":
    listener = socket.create_server(("127.0.0.1", 0))
    print(listener.getsockname()[1], flush=True)
    held = [listener.accept()[0] for _ in iter(int, 1)]  # never answered, never closed
from pyftpdlib.handlers import FTPHandler
from pyftpdlib import authorizers, servers
class Handler(FTPHandler):
    def ftp_RETR(self, file):
        if behaviour == "slow":
            self.ioloop.call_later(2.0, FTPHandler.ftp_RETR, self, file)
        elif behaviour == "half":
            self.push_dtp_data(open(file, "rb").read()[: os.path.getsize(file) // 2], cmd="RETR")
        else:
            FTPHandler.ftp_RETR(self, file)
    def respond(self, resp, logfun=logging.debug):
        if behaviour == "half" and resp.startswith("226"):
            self.close() # gone before the transfer is complete
        else:
            FTPHandler.respond(self, resp, logfun)
Handler.authorizer = authorizers.DummyAuthorizer()
Handler.authorizer.add_anonymous(sys.argv[1])
server = servers.FTPServer(("127.0.0.1", 0), Handler)
print(server.address[1], flush=True)
server.serve_forever()
)";

// Bounds for a server that never comes up; generous, since the machine may be busy.
static constexpr int limitMs = 30000;

LoopbackFtpServer::~LoopbackFtpServer() {
    server_.terminate(); // nothing happens to a server that never started
    if (!server_.waitForFinished(limitMs))
        server_.kill();
    server_.waitForFinished(limitMs);
}

bool LoopbackFtpServer::start() {
    // A log pipe nobody reads while a test blocks on a download would fill up and stall the server.
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"), QString::fromUtf8(serverScript), root_.path(),
                   behaviourNames[static_cast<int>(behaviour_)]});
    while (!server_.canReadLine() && server_.waitForReadyRead(limitMs)) {
    }
    port_ = server_.readLine().trimmed().toInt(); // 0 when it printed no number
    if (port_ <= 0 || !root_.isValid())
        error_ = QStringLiteral("the FTP server did not come up: ").append(server_.errorString());
    return error_.isEmpty();
}

bool LoopbackFtpServer::addFile(const QString& relativePath, const QByteArray& bytes) {
    QFile file(root_.filePath(relativePath));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

bool LoopbackFtpServer::addZeroFile(const QString& relativePath, qint64 size) {
    return addFile(relativePath, {}) && QFile(root_.filePath(relativePath)).resize(size);
}
