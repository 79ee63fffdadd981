#pragma once
// A real FTP server on 127.0.0.1 for the upload tests: pyftpdlib run by the
// system's Python on a free port, serving a temporary folder, stopped when
// the object goes.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace talvora::test {

class LocalFtpServer {
public:
    struct Options {
        // The server takes an empty user name and an empty password (as the
        // developer's does); otherwise every login is refused.
        bool acceptEmptyLogin = true;
        // The folder "errors" exists in the server's root.
        bool errorsFolder = true;
    };

    LocalFtpServer() : LocalFtpServer(Options{}) {}
    explicit LocalFtpServer(Options options);
    ~LocalFtpServer();
    LocalFtpServer(const LocalFtpServer&) = delete;
    LocalFtpServer& operator=(const LocalFtpServer&) = delete;

    // Empty when the server runs; otherwise what went wrong starting it.
    const QString& startError() const { return startError_; }
    int port() const { return port_; }
    // The folder the server serves.
    QString root() const { return dir_.filePath(QStringLiteral("root")); }
    // The commands the server received, one line each ("USER ", "TYPE I", ...).
    QStringList commands() const;

    void stop();

    // A port on 127.0.0.1 where nothing listens.
    static int unusedPort();

private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    QString startError_;
};

} // namespace talvora::test
