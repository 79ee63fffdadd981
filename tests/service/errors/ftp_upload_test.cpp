// The upload of the error archive against a real FTP server on this machine.

#include "common/errors.h"
#include "ftp_server.h"
#include "service/ftp_upload.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace talvora;
using service::FtpErrorReportUploader;
using test::LocalFtpServer;

namespace {

// Bytes that a text-mode transfer would change: line ends, a lone CR, NULs
// and bytes above 127, long enough for several blocks.
QByteArray binaryContent()
{
    QByteArray bytes;
    for (int i = 0; i < 200000; ++i)
        bytes.append(char((i * 37) % 256));
    bytes.append("\r\n\n\r\0end", 8);
    return bytes;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

FtpErrorReportUploader uploaderFor(int port)
{
    FtpErrorReportUploader::Settings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    s.connectTimeoutSeconds = 5;
    return FtpErrorReportUploader(s);
}

QString uploadFailure(FtpErrorReportUploader& uploader, const QString& path)
{
    try {
        uploader.upload(path);
    } catch (const Error& e) {
        return e.message();
    }
    return QString();
}

} // namespace

TEST(FtpUpload, TheArchiveArrivesInTheErrorsFolderByteForByte)
{
    LocalFtpServer server;
    ASSERT_EQ(server.startError(), QString());
    QTemporaryDir local;
    const QByteArray bytes = binaryContent();
    const QString path = writeFile(local, QStringLiteral("Err_01.02.2024_WD-1 2.7z"), bytes);

    FtpErrorReportUploader uploader = uploaderFor(server.port());
    ASSERT_NO_THROW(uploader.upload(path));

    EXPECT_EQ(readFile(QDir(server.root()).filePath(QStringLiteral("errors/Err_01.02.2024_WD-1 2.7z"))), bytes);
    // Nothing lands outside the folder.
    EXPECT_EQ(QDir(server.root()).entryList(QDir::Files), QStringList());
    // Logged in with an empty user name, sent as an image.
    const QStringList commands = server.commands();
    EXPECT_TRUE(commands.contains(QStringLiteral("USER "))) << commands.join(u'|').toStdString();
    EXPECT_TRUE(commands.contains(QStringLiteral("TYPE I"))) << commands.join(u'|').toStdString();
    EXPECT_FALSE(commands.filter(QStringLiteral("anonymous"), Qt::CaseInsensitive).size() > 0);
}

TEST(FtpUpload, FailuresAreReportedNotSwallowed)
{
    QTemporaryDir local;
    const QString path = writeFile(local, QStringLiteral("Err_x.7z"), QByteArray("archive"));

    {
        SCOPED_TRACE("server down");
        FtpErrorReportUploader uploader = uploaderFor(LocalFtpServer::unusedPort());
        const QString failure = uploadFailure(uploader, path);
        EXPECT_TRUE(failure.contains(QStringLiteral("Err_x.7z"))) << failure.toStdString();
        EXPECT_TRUE(failure.contains(QStringLiteral("127.0.0.1"))) << failure.toStdString();
    }
    {
        SCOPED_TRACE("login refused");
        LocalFtpServer server(LocalFtpServer::Options{.acceptEmptyLogin = false});
        ASSERT_EQ(server.startError(), QString());
        FtpErrorReportUploader uploader = uploaderFor(server.port());
        EXPECT_NE(uploadFailure(uploader, path), QString());
        EXPECT_FALSE(QFile::exists(QDir(server.root()).filePath(QStringLiteral("errors/Err_x.7z"))));
    }
    {
        SCOPED_TRACE("no folder errors on the server");
        LocalFtpServer server(LocalFtpServer::Options{.errorsFolder = false});
        ASSERT_EQ(server.startError(), QString());
        FtpErrorReportUploader uploader = uploaderFor(server.port());
        EXPECT_NE(uploadFailure(uploader, path), QString());
        // The folder is not made, and the file is not put anywhere else.
        EXPECT_EQ(QDir(server.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }
    {
        SCOPED_TRACE("no archive to send");
        LocalFtpServer server;
        ASSERT_EQ(server.startError(), QString());
        FtpErrorReportUploader uploader = uploaderFor(server.port());
        EXPECT_NE(uploadFailure(uploader, local.filePath(QStringLiteral("missing.7z"))), QString());
    }
}

TEST(FtpUpload, TheAddressAndTheMessage)
{
    FtpErrorReportUploader::Settings s;
    s.host = QStringLiteral("ftp.example.org");
    s.port = 2121;
    EXPECT_EQ(FtpErrorReportUploader(s).targetUrl(QStringLiteral("Err_01.02.2024_A B#1.7z")),
              QStringLiteral("ftp://ftp.example.org:2121/errors/Err_01.02.2024_A%20B%231.7z"));
    s.host = QStringLiteral("::1");
    EXPECT_EQ(FtpErrorReportUploader(s).targetUrl(QStringLiteral("a.7z")), QStringLiteral("ftp://[::1]:2121/errors/a.7z"));
    // Default: the server fixed at build time, folder errors, empty user and password.
    const FtpErrorReportUploader standard;
    EXPECT_EQ(standard.host(), service::errorReportHost());
    EXPECT_FALSE(standard.host().isEmpty());
    EXPECT_EQ(standard.settings().port, service::errorReportPort());
    EXPECT_EQ(standard.settings().folder, QStringLiteral("errors"));
    EXPECT_EQ(standard.settings().user, QString());
    EXPECT_EQ(standard.settings().password, QString());

    EXPECT_EQ(service::uploadFailureMessage(QStringLiteral("errors.example"), QStringLiteral("Err_1.7z")),
              QStringLiteral("не удалось установить соединение с сервером errors.example\r\n"
                             "постарайтесь отправить разработчику файл Err_1.7z другим способом"));
}
