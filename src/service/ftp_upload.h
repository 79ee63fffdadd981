#pragma once
// Sending the error archive to the developer's error-report server. The
// program only needs "put this file there"; the FTP client behind it is
// libcurl.

#include <QString>

namespace talvora::service {

// The error-report server's host name and port, fixed when the program is
// built (21 unless the build says otherwise).
QString errorReportHost();
int errorReportPort();

// What the user is told when the archive could not be sent.
QString uploadFailureMessage(const QString& host, const QString& archiveName);

class ErrorReportUploader {
public:
    virtual ~ErrorReportUploader() = default;

    // The server's host name, for the messages.
    virtual QString host() const = 0;
    // Stores the file under its own name on the server. Throws talvora::Error
    // with the reason when the file did not arrive whole.
    virtual void upload(const QString& filePath) = 0;
};

// FTP (RFC 959) upload: log in with the configured user name and password
// (USER, and PASS when the server asks for it), binary transfer (TYPE I),
// STOR into `folder`. The folder is not created when the server has none.
class FtpErrorReportUploader : public ErrorReportUploader {
public:
    struct Settings {
        QString host = errorReportHost();
        int port = errorReportPort();
        QString folder = QStringLiteral("errors");
        QString user;     // empty: an empty user name is sent
        QString password; // empty: an empty password is sent
        int connectTimeoutSeconds = 20;
        // A transfer slower than one kilobyte a second for this long is given up.
        int stallTimeoutSeconds = 60;
    };

    FtpErrorReportUploader() = default;
    explicit FtpErrorReportUploader(Settings settings) : settings_(std::move(settings)) {}

    const Settings& settings() const { return settings_; }
    QString host() const override { return settings_.host; }
    void upload(const QString& filePath) override;

    // The address the file goes to: ftp://host:port/folder/name, the path's
    // parts percent-encoded.
    QString targetUrl(const QString& fileName) const;

private:
    Settings settings_;
};

} // namespace talvora::service
