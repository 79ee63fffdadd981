#include "ftp_upload.h"

#include "common/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <curl/curl.h>

#include <memory>

#ifndef TALVORA_ERROR_REPORT_HOST
#define TALVORA_ERROR_REPORT_HOST "errors.talvora.invalid"
#endif
#ifndef TALVORA_ERROR_REPORT_PORT
#define TALVORA_ERROR_REPORT_PORT 21
#endif

namespace talvora::service {

namespace {

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

size_t readFromFile(char* buffer, size_t size, size_t count, void* file)
{
    const qint64 n = static_cast<QFile*>(file)->read(buffer, qint64(size * count));
    return n < 0 ? CURL_READFUNC_ABORT : size_t(n);
}

void check(CURLcode code, const char* what)
{
    if (code != CURLE_OK)
        throw Error(QStringLiteral("Библиотека передачи файлов не приняла параметр %1: %2")
                        .arg(QString::fromLatin1(what), QString::fromUtf8(curl_easy_strerror(code))));
}

} // namespace

QString errorReportHost() { return QStringLiteral(TALVORA_ERROR_REPORT_HOST); }
int errorReportPort() { return TALVORA_ERROR_REPORT_PORT; }

QString uploadFailureMessage(const QString& host, const QString& archiveName)
{
    return QStringLiteral("не удалось установить соединение с сервером ") + host +
           QStringLiteral("\r\nпостарайтесь отправить разработчику файл ") + archiveName +
           QStringLiteral(" другим способом");
}

QString FtpErrorReportUploader::targetUrl(const QString& fileName) const
{
    QString host = settings_.host;
    if (host.contains(u':') && !host.startsWith(u'['))
        host = u'[' + host + u']'; // an IPv6 address
    QString path;
    for (const QString& part : settings_.folder.split(u'/', Qt::SkipEmptyParts))
        path += u'/' + QString::fromLatin1(QUrl::toPercentEncoding(part));
    path += u'/' + QString::fromLatin1(QUrl::toPercentEncoding(fileName));
    return QStringLiteral("ftp://%1:%2%3").arg(host).arg(settings_.port).arg(path);
}

void FtpErrorReportUploader::upload(const QString& filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Не удалось открыть файл %1: %2").arg(filePath, file.errorString()));
    const qint64 size = file.size();

    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        throw Error(QStringLiteral("Не удалось подготовить передачу файла по FTP."));
    CURL* c = curl.get();
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray url = targetUrl(QFileInfo(filePath).fileName()).toUtf8();
    const QByteArray user = settings_.user.toUtf8();
    const QByteArray password = settings_.password.toUtf8();

    check(curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText), "ERRORBUFFER");
    check(curl_easy_setopt(c, CURLOPT_URL, url.constData()), "URL");
#if LIBCURL_VERSION_NUM >= 0x075500
    check(curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp"), "PROTOCOLS_STR");
#else
    check(curl_easy_setopt(c, CURLOPT_PROTOCOLS, long(CURLPROTO_FTP)), "PROTOCOLS");
#endif
    check(curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L), "NOSIGNAL");
    // Given explicitly, also when empty: libcurl would otherwise log in as "anonymous".
    check(curl_easy_setopt(c, CURLOPT_USERNAME, user.constData()), "USERNAME");
    check(curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData()), "PASSWORD");
    check(curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L), "TRANSFERTEXT"); // TYPE I
    check(curl_easy_setopt(c, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_NONE)), "FTP_CREATE_MISSING_DIRS");
    check(curl_easy_setopt(c, CURLOPT_UPLOAD, 1L), "UPLOAD");
    check(curl_easy_setopt(c, CURLOPT_READFUNCTION, &readFromFile), "READFUNCTION");
    check(curl_easy_setopt(c, CURLOPT_READDATA, &file), "READDATA");
    check(curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(size)), "INFILESIZE_LARGE");
    check(curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(settings_.connectTimeoutSeconds)), "CONNECTTIMEOUT");
    check(curl_easy_setopt(c, CURLOPT_FTP_RESPONSE_TIMEOUT, long(settings_.connectTimeoutSeconds)), "FTP_RESPONSE_TIMEOUT");
    check(curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1024L), "LOW_SPEED_LIMIT");
    check(curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(settings_.stallTimeoutSeconds)), "LOW_SPEED_TIME");

    const CURLcode result = curl_easy_perform(c);
    if (result != CURLE_OK) {
        QString reason = QString::fromUtf8(errorText).trimmed();
        if (reason.isEmpty())
            reason = QString::fromUtf8(curl_easy_strerror(result));
        throw Error(QStringLiteral("Файл %1 не передан на сервер %2: %3")
                        .arg(QFileInfo(filePath).fileName(), settings_.host, reason));
    }
    curl_off_t sent = 0;
    curl_easy_getinfo(c, CURLINFO_SIZE_UPLOAD_T, &sent);
    if (qint64(sent) != size)
        throw Error(QStringLiteral("Файл %1 передан на сервер %2 не полностью: %3 байт из %4")
                        .arg(QFileInfo(filePath).fileName(), settings_.host)
                        .arg(qint64(sent))
                        .arg(size));
}

} // namespace talvora::service
