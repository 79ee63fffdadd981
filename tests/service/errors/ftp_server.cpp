#include "ftp_server.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#ifndef TALVORA_PYTHON3
#define TALVORA_PYTHON3 "/usr/bin/python3"
#endif

namespace talvora::test {

namespace {

// argv: root folder, "open" or "closed", command log file. Prints the port.
const char kServerScript[] = R"PY(
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, mode, log_path = sys.argv[1], sys.argv[2], sys.argv[3]
authorizer = DummyAuthorizer()
if mode == "open":
    authorizer.add_anonymous(root, perm="elradfmw")
log = open(log_path, "a", buffering=1, encoding="utf-8")

class Handler(FTPHandler):
    # An empty user name is allowed and taken as the anonymous login.
    proto_cmds = dict(FTPHandler.proto_cmds)
    proto_cmds["USER"] = dict(FTPHandler.proto_cmds["USER"], arg=None)

    def pre_process_command(self, line, cmd, arg):
        log.write(line + "\n")
        return FTPHandler.pre_process_command(self, line, cmd, arg)

    def ftp_USER(self, line):
        return FTPHandler.ftp_USER(self, line if line else "anonymous")

Handler.authorizer = authorizer
Handler.banner = "test server ready"
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.address[1], flush=True)
server.serve_forever()
)PY";

} // namespace

LocalFtpServer::LocalFtpServer(Options options)
{
    QDir(dir_.path()).mkpath(QStringLiteral("root"));
    if (options.errorsFolder)
        QDir(root()).mkpath(QStringLiteral("errors"));
    const QString script = dir_.filePath(QStringLiteral("ftp_server.py"));
    QFile f(script);
    if (!f.open(QIODevice::WriteOnly) || f.write(kServerScript) < 0) {
        startError_ = QStringLiteral("cannot write ") + script;
        return;
    }
    f.close();
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(QStringLiteral(TALVORA_PYTHON3),
                   {script, root(), options.acceptEmptyLogin ? QStringLiteral("open") : QStringLiteral("closed"),
                    dir_.filePath(QStringLiteral("commands.log"))});
    if (!process_.waitForStarted(10000)) {
        startError_ = process_.errorString();
        return;
    }
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(15000)) {
            startError_ = QStringLiteral("the FTP server did not start: ") +
                          QString::fromLocal8Bit(process_.readAllStandardError());
            stop();
            return;
        }
    }
    port_ = process_.readLine().trimmed().toInt();
    if (port_ <= 0)
        startError_ = QStringLiteral("the FTP server gave no port");
}

LocalFtpServer::~LocalFtpServer() { stop(); }

void LocalFtpServer::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QStringList LocalFtpServer::commands() const
{
    QFile f(dir_.filePath(QStringLiteral("commands.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

int LocalFtpServer::unusedPort()
{
    // The kernel hands out a free port; closed again, nothing listens there.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

} // namespace talvora::test
